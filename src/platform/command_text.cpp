#include "platform/command_text.h"

#include <algorithm>

namespace modVantrel {

std::wstring_view ArgumentText(std::wstring_view commandLine) {
    constexpr std::wstring_view kBlanks = L" \t";
    std::size_t end = 0;
    if (!commandLine.empty() && commandLine.front() == L'"') {
        const std::size_t closing = commandLine.find(L'"', 1);
        end = closing == std::wstring_view::npos ? commandLine.size() : closing + 1;
    } else {
        end = std::min(commandLine.find_first_of(kBlanks), commandLine.size());
    }
    const std::size_t arguments = commandLine.find_first_not_of(kBlanks, end);
    return arguments == std::wstring_view::npos ? std::wstring_view()
                                                : commandLine.substr(arguments);
}

}  // namespace modVantrel
