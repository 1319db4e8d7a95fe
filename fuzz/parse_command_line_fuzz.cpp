// ParseCommandLine over arbitrary UTF-16 text, checked against the independent model.
#include <cstddef>
#include <cstdint>
#include <string>

#include "command/command_line_reader.h"
#include "oracle.h"

using vantrel_fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring text = vantrel_fuzz::DecodeUtf16(data, size);
    const modVantrel::CommandLineRequest request = modVantrel::ParseCommandLine(text);
    const vantrel_fuzz::ModelRequest model = vantrel_fuzz::ModelParse(text);

    Check(request.wait == model.wait, "wait is set exactly when a /w token is present");
    Check(request.collected == model.collected, "collected text follows the token rules");
    if (!model.priorityText) {
        Check(request.selector == 0, "selector stays 0 without a /p: token");
    } else {
        Check(request.selector == modVantrel::ReadPriorityNumber(*model.priorityText),
              "selector comes from the last /p: token");
        const auto plain = vantrel_fuzz::PlainDecimal(*model.priorityText);
        Check(!plain || request.selector == *plain,
              "a plain decimal reads rounded half to even, pinned to 32 bits");
        const auto radix = vantrel_fuzz::RadixNumber(*model.priorityText);
        Check(!radix || request.selector == *radix, "an &h or &o number reads in its radix");
    }

    // The number reader on its own, over the whole text.
    const auto plain = vantrel_fuzz::PlainDecimal(text);
    Check(!plain || modVantrel::ReadPriorityNumber(text) == *plain,
          "a plain decimal reads rounded half to even, pinned to 32 bits");
    return 0;
}
