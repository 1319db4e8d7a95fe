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
using vantrel_fuzz::SwitchName;

namespace {

std::vector<std::wstring> Texts(const std::vector<SplitArgument>& split) {
    std::vector<std::wstring> texts;
    for (const SplitArgument& argument : split) {
        texts.push_back(argument.text);
    }
    return texts;
}

// The quote-free text typed from `begin` to `end`, less its switches with the blank after each.
std::wstring TypedPath(const std::wstring& line, std::size_t begin, std::size_t end,
                       const std::vector<SplitArgument>& split) {
    std::wstring typed;
    std::size_t at = begin;
    for (const SplitArgument& argument : split) {
        if (!SwitchName(argument, false).empty()) {
            typed += line.substr(at, argument.begin - at);
            at = argument.end;
            at += at < end && (line[at] == L' ' || line[at] == L'\t') ? 1 : 0;
        }
    }
    typed += line.substr(at, end - at);
    typed.erase(std::remove(typed.begin(), typed.end(), L'"'), typed.end());
    return typed;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring text = vantrel_fuzz::DecodeUtf16(data, size);
    const modVantrel::CommandLineRequest request = modVantrel::ParseCommandLine(text);
    Check(request.pathBegin <= request.pathEnd && request.pathEnd <= text.size(),
          "the path lies within the line");
    const bool found = !request.path.empty();
    Check(found || (request.pathEnd == text.size() && request.arguments.empty()),
          "without a path the path's text runs to the line's end and nothing is passed on");
    const vantrel_fuzz::SplitLine split =
        vantrel_fuzz::SplitAround(text, request.pathBegin, request.pathEnd);

    // Before the path stand only switches and empty arguments; the last of each counts.
    bool wait = false, tree = false, efficiency = false, report = false;
    std::optional<std::wstring> priority, affinity, parent;
    const auto take = [&](const SplitArgument& argument, bool beforePath) {
        const std::wstring name = SwitchName(argument, beforePath);
        const std::wstring value = argument.text.substr(name.size());
        wait = wait || name == L"/w";
        tree = tree || name == L"/t";
        efficiency = efficiency || name == L"/e";
        report = report || name == L"/r";
        priority = name == L"/p:" ? value : priority;
        affinity = name == L"/a:" ? value : affinity;
        parent = name == L"/parent:" ? value : parent;
        return !name.empty();
    };
    for (const SplitArgument& argument : split.before) {
        Check(take(argument, true) || argument.text.empty(),
              "the path starts at the first argument that is no switch and not empty");
    }
    for (const SplitArgument& argument : split.path) {
        take(argument, false);
    }
    std::vector<SplitArgument> passed;
    for (const SplitArgument& argument : split.after) {
        if (!take(argument, false)) {
            passed.push_back(argument);
        }
    }
    Check(request.wait == wait, "wait is set exactly when a /w switch is present");
    Check(request.tree == tree && request.efficiency == efficiency && request.report == report,
          "/t, /e and /r are taken before the program path only");
    Check(request.affinity.has_value() == affinity.has_value() &&
              (!affinity ||
               *request.affinity == vantrel_fuzz::ModelAffinityMask(*affinity).value_or(0)),
          "the last /a: before the path names a mask of hex digits");
    Check(request.parent.has_value() == parent.has_value() &&
              (!parent || *request.parent == vantrel_fuzz::ModelProcessId(*parent)),
          "the last /parent: before the path names a process id");
    Check(request.selector == (priority ? modVantrel::ReadPriorityNumber(*priority) : 0),
          "selector comes from the last /p: switch");

    if (found) {
        const std::wstring typed = TypedPath(text, request.pathBegin, request.pathEnd, split.path);
        Check(request.path == typed, "the path is the quote-free text typed for it, blanks kept");
        const std::size_t exe = vantrel_fuzz::EndOfFirstExe(request.path);
        Check(exe != 0 && vantrel_fuzz::EndOfFirstExe(request.path.substr(request.path.size() - 4)),
              "the path ends with .exe");
        Check(exe == request.path.size() ||
                  text.substr(request.pathBegin, request.pathEnd - request.pathBegin).find(L'"') !=
                      std::wstring::npos,
              "only a quote takes the path past its first .exe");
        // What the program's runtime splits from its arguments is what it splits from the same
        // text typed after its path, less Vantrel's switches.
        Check(Texts(vantrel_fuzz::SplitLikeRuntime(request.arguments, false)) == Texts(passed),
              "the program is given the arguments typed after its path, less the switches");
    }

    // The number reader on its own, over the whole text.
    const auto plain = vantrel_fuzz::PlainDecimal(text);
    Check(!plain || modVantrel::ReadPriorityNumber(text) == *plain,
          "a plain decimal reads rounded half to even, pinned to 32 bits");
    if (priority) {
        const auto radix = vantrel_fuzz::RadixNumber(*priority);
        Check(!radix || request.selector == *radix, "an &h or &o number reads in its radix");
    }

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
