// ParseCommandLine over arbitrary UTF-16 text, checked against the independent model.
#include <cstddef>
#include <cstdint>
#include <string>

#include "command/command_line_reader.h"
#include "platform/command_text.h"
#include "oracle.h"

using vantrel_fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring text = vantrel_fuzz::DecodeUtf16(data, size);
    const modVantrel::CommandLineRequest request = modVantrel::ParseCommandLine(text);
    const vantrel_fuzz::ModelRequest model = vantrel_fuzz::ModelParse(text);

    Check(request.wait == model.wait, "wait is set exactly when a /w token is present");
    Check(request.collected == model.collected, "collected text follows the token rules");
    Check(request.pathEnd == model.pathEnd, "the path ends at its quote or its first .exe");
    Check(request.tree == model.tree && request.efficiency == model.efficiency,
          "/t and /e are taken before the program path only");
    Check(request.report == model.report && request.background == model.background,
          "/r and /bg are taken before the program path only");
    Check(request.affinity.has_value() == model.affinityText.has_value(),
          "an /a: token before the program path is taken");
    if (model.affinityText) {
        const int name = vantrel_fuzz::ModelCoreName(*model.affinityText);
        const auto mask = vantrel_fuzz::ModelAffinityMask(*model.affinityText);
        Check(*request.affinity == (name != 0 ? 0 : mask.value_or(0)) &&
                  static_cast<int>(request.cores) == name,
              "the last /a: names a mask of hex digits, or cores by name in any case");
    }
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

    // The same text as a whole command line: only the program's name and the blanks after it go.
    const std::wstring_view arguments = modVantrel::ArgumentText(text);
    const std::size_t skipped = text.size() - arguments.size();
    Check(std::wstring_view(text).substr(skipped) == arguments, "the arguments end the line");
    Check(arguments.empty() || (arguments.front() != L' ' && arguments.front() != L'\t'),
          "no blank starts the arguments");
    const std::wstring_view prefix = std::wstring_view(text).substr(0, skipped);
    const std::wstring_view name = prefix.substr(0, prefix.find_last_not_of(L" \t") + 1);
    const bool quoted = !name.empty() && name.front() == L'"';
    Check(quoted ? name.find(L'"', 1) >= name.size() - 1 : name.find_first_of(L" \t") == name.npos,
          "the name is quoted, or has no blank in it");
    return 0;
}
