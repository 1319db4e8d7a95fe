// The usage box's messages, and its text after the message, written out once for the unit and the
// end-to-end tests, so that any change to the product's text shows up as a failure.
#pragma once

#include <string_view>

namespace expected {

inline constexpr std::wstring_view kPriorityMessage =
    L"Either no priority was selected or the selected priority was out of range.";
inline constexpr std::wstring_view kNoExeMessage = L"The no \".EXE\" file specified!";
inline constexpr std::wstring_view kNoFileMessage = L"The specified file does not exist!";
inline constexpr std::wstring_view kLaunchMessage = L"The specified program returned an error!";
inline constexpr std::wstring_view kProcessorsMessage =
    L"The specified processors are not available!";
inline constexpr std::wstring_view kParentMessage = L"The specified parent process is not running!";

inline constexpr std::wstring_view kUsageAfterMessage =
    L"\r\n"
    L"\r\n"
    L"Command Usage:\r\n"
    L"\tvantrel [/w] /p:(1-6) <exepath>\r\n"
    L"\r\n"
    L"\t/w\tWaits for program to terminate\r\n"
    L"\t/p\tSpecify the priority to run the program at\r\n"
    L"\r\n"
    L"Priority Values: \r\n"
    L"\tRealtime\t\t6\r\n"
    L"\tHigh\t\t5\r\n"
    L"\tAbove Normal\t4\r\n"
    L"\tNormal\t\t3\r\n"
    L"\tBelow Normal\t2\r\n"
    L"\tLow\t\t1\r\n";

}  // namespace expected
