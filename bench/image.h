// The executables' facts. scripts/bench.sh reads them from their headers with the toolchain's
// objdump and passes them on; this driver checks the imports against the system directory.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

struct ImageFacts {
    bool ok = false;  // false when the script gave no facts
    std::string name;
    std::uint64_t size = 0;
    WORD characteristics = 0;  // DllCharacteristics
    std::vector<std::string> imports;
    bool importsOnlySystem = true;
    bool importsUser32 = false;
};

// The text the script gives: the file name, its size in bytes, the DllCharacteristics in hex and
// the imported DLLs' names, separated by commas.
struct ImageText {
    std::wstring name, size, characteristics, imports;
};

ImageFacts ReadImageFacts(const ImageText& text);

std::string Utf8(const std::wstring& text);

}  // namespace bench
