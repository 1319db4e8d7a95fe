// ParseCommandLine over arbitrary UTF-16 text, checked against the C runtime's split of the line.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "command/command_line_reader.h"
#include "oracle.h"
#include "platform/command_text.h"

using vantrel_fuzz::Check;
using vantrel_fuzz::SplitArgument;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring text = vantrel_fuzz::DecodeUtf16(data, size);
    const modVantrel::CommandLineRequest request = modVantrel::ParseCommandLine(text);
    const std::size_t begin = request.pathBegin, end = request.pathEnd;
    Check(begin <= end && end <= text.size(), "the path lies within the line");

    // Before the path stand only switches and empty words; after it the program's arguments. The
    // path is its typed text less its switches (each with the blank after it) and its quotes.
    const vantrel_fuzz::SplitLine split = vantrel_fuzz::SplitAround(text, begin, end);
    std::wstring switches, typed;
    std::vector<std::wstring> passed, given;
    std::size_t copied = begin;
    for (const auto* region : {&split.before, &split.path, &split.after}) {
        for (const SplitArgument& argument : *region) {
            const bool isSwitch = !split.SwitchOf(*region, argument).empty();
            Check(region != &split.before || isSwitch || argument.text.empty(),
                  "the path starts at the first word that is no switch and not empty");
            if (isSwitch) {  // as typed, between blanks: "/log:" may leave a quote open
                switches += (switches.empty() ? L"" : L" ") +
                            text.substr(argument.begin, argument.end - argument.begin);
            }
            if (!isSwitch && region == &split.after) {
                passed.push_back(argument.text);
            } else if (isSwitch && region == &split.path) {
                typed += text.substr(copied, argument.begin - copied);
                const wchar_t after = argument.end < end ? text[argument.end] : L'x';
                copied = argument.end + (after == L' ' || after == L'\t' ? 1 : 0);
            }
        }
    }
    typed += text.substr(copied, end - copied);
    typed.erase(std::remove(typed.begin(), typed.end(), L'"'), typed.end());

    // Each switch means what it means alone, the last of a kind counting.
    const modVantrel::CommandLineRequest alone = modVantrel::ParseCommandLine(switches);
    Check(request.wait == alone.wait && request.selector == alone.selector,
          "/w and /p: count wherever they stand as words, the last /p: wins");
    Check(request.tree == alone.tree && request.efficiency == alone.efficiency &&
              request.report == alone.report && request.background == alone.background &&
              request.affinity == alone.affinity && request.cores == alone.cores &&
              request.parent == alone.parent && request.timeLimit == alone.timeLimit &&
              request.cpuLimit == alone.cpuLimit && request.memoryLimit == alone.memoryLimit &&
              request.gracePeriod == alone.gracePeriod && request.log == alone.log,
          "the options count before the program path only, the last one wins");
    if (!request.path.empty()) {
        Check(request.path == typed, "the path is the quote-free text typed for it, blanks kept");
        const std::size_t exe = vantrel_fuzz::EndOfFirstExe(request.path);
        const std::wstring span = text.substr(begin, end - begin), rest = text.substr(end);
        const bool quoted = span.find(L'"') != text.npos;
        const bool open = std::count(span.begin(), span.end(), L'"') % 2 == 1;
        Check(!open || rest.empty() || rest[0] != L'"', "a path never ends before its own quote");
        bool wordEndingExe = false;  // in what follows a quote never closed
        for (std::size_t at = 0; at + 4 <= rest.size() && rest.find(L'"') == text.npos; ++at) {
            const wchar_t next = at + 4 < rest.size() ? rest[at + 4] : L' ';
            wordEndingExe = wordEndingExe || (vantrel_fuzz::EndOfFirstExe(rest.substr(at, 4)) &&
                                              (next == L' ' || next == L'\t'));
        }
        Check(!open || !wordEndingExe, "a quote never closed takes the last .exe ending a word");
        // Quotes group a name: where the path ends is read against its last word, as the name
        // rule splits it, within a quoted stretch only as a closing quote forgotten or never typed.
        const SplitArgument& word = split.path.back();
        const std::wstring_view inWord(text.data() + word.begin, end - word.begin);
        Check(std::count(inWord.begin(), inWord.end(), L'"') % 2 == 0 ||
                  vantrel_fuzz::MayEndInQuotes(text, end),
              "a quoted .exe ends the path only where its stretch ends");
        Check(
            end == word.end ||
                vantrel_fuzz::EndOfFirstExe(request.path.substr(request.path.size() - 4)) != 0,
            "blanks and dots after a quoted .exe are the path's only where its quote ends a word");
        const std::size_t trimmed = request.path.find_last_not_of(L" \t.") + 1;
        Check(exe != 0 && trimmed >= 4 &&
                  vantrel_fuzz::EndOfFirstExe(request.path.substr(trimmed - 4, 4)) != 0 &&
                  (exe == request.path.size() || quoted),
              "the path ends with its first .exe, unless a quote takes it on to a later one");
        // What the program's runtime splits from its arguments is what it splits from the same
        // text typed after its path, less Vantrel's switches.
        for (const SplitArgument& argument : vantrel_fuzz::SplitLikeRuntime(
                 request.arguments, 0, request.arguments.size(), false)) {
            given.push_back(argument.text);
        }
        Check(given == passed,
              "the program gets the arguments typed after its path, less switches");
    }

    // The number reader on its own, over the whole text.
    const auto plain = vantrel_fuzz::PlainDecimal(text);
    Check(!plain || modVantrel::ReadPriorityNumber(text) == *plain,
          "a plain decimal reads rounded half to even, pinned to 32 bits");
    const auto radix = vantrel_fuzz::RadixNumber(text);
    Check(!radix || modVantrel::ReadPriorityNumber(text) == *radix,
          "an &h or &o number reads in its radix");
    Check(modVantrel::ReadAffinityMask(text) == vantrel_fuzz::ModelAffinityMask(text).value_or(0),
          "a mask is 1 to 16 hex digits");

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
