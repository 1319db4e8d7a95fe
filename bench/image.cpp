#include "image.h"

#include <algorithm>
#include <cwchar>

#include "rounds.h"

namespace bench {

std::string Utf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(),
                          size, nullptr, nullptr);
    return result;
}

ImageFacts ReadImageFacts(const ImageText& text) {
    ImageFacts facts;
    facts.name = Utf8(text.name);
    if (text.name.empty() || text.size.empty() || text.characteristics.empty()) {
        return facts;
    }
    facts.size = std::wcstoull(text.size.c_str(), nullptr, 10);
    facts.characteristics =
        static_cast<WORD>(std::wcstoul(text.characteristics.c_str(), nullptr, 16));
    const std::wstring system = SystemDirectory();
    for (std::size_t begin = 0; begin < text.imports.size();) {
        const std::size_t comma = std::min(text.imports.find(L',', begin), text.imports.size());
        const std::wstring name = text.imports.substr(begin, comma - begin);
        facts.imports.push_back(Utf8(name));
        facts.importsUser32 = facts.importsUser32 || _wcsicmp(name.c_str(), L"user32.dll") == 0;
        if (::GetFileAttributesW((system + L"\\" + name).c_str()) == INVALID_FILE_ATTRIBUTES) {
            facts.importsOnlySystem = false;
        }
        begin = comma + 1;
    }
    facts.ok = true;
    return facts;
}

}  // namespace bench
