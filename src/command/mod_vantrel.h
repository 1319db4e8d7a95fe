// Vantrel's run: read the command line, check it, launch or show the usage box.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "command/run_log.h"
#include "platform/platform.h"

namespace modVantrel {

struct Priority {
    std::int32_t selector;
    std::wstring_view name;       // as the usage box lists it
    std::uint32_t priorityClass;  // the process-creation flag
};

// The values do not rise with the number: 2 and 4 take the two newer flags.
inline constexpr std::array<Priority, 6> kPriorities{{
    {1, L"Low", 0x40},
    {2, L"Below Normal", 0x4000},
    {3, L"Normal", 0x20},
    {4, L"Above Normal", 0x8000},
    {5, L"High", 0x80},
    {6, L"Realtime", 0x100},
}};

inline constexpr std::wstring_view kPriorityMessage =
    L"Either no priority was selected or the selected priority was out of range.";
inline constexpr std::wstring_view kNoExeMessage = L"The no \".EXE\" file specified!";
inline constexpr std::wstring_view kNoFileMessage = L"The specified file does not exist!";
inline constexpr std::wstring_view kLaunchMessage = L"The specified program returned an error!";
inline constexpr std::wstring_view kProcessorsMessage =
    L"The specified processors are not available!";
inline constexpr std::wstring_view kParentMessage = L"The specified parent process is not running!";
inline constexpr std::wstring_view kTimeLimitMessage = L"The specified time limit is invalid!";
inline constexpr std::wstring_view kGracePeriodMessage = L"The specified grace period is invalid!";
inline constexpr std::wstring_view kCpuLimitMessage = L"The specified CPU limit is invalid!";
inline constexpr std::wstring_view kMemoryLimitMessage = L"The specified memory limit is invalid!";
inline constexpr std::wstring_view kLogMessage = L"The specified log file could not be opened!";

// Exit statuses besides the launched program's own (with "/w") and 0 (without it); a failed
// launch exits with the system's error code for the failure.
inline constexpr int kExitInvalidParameter = 87;  // ERROR_INVALID_PARAMETER
inline constexpr int kExitFileNotFound = 2;       // ERROR_FILE_NOT_FOUND
// The parent named by "/parent:" ended while Vantrel waited: the run was cut short.
inline constexpr int kExitProcessAborted = 1067;  // ERROR_PROCESS_ABORTED
// The time limit ended the tree.
inline constexpr int kExitTimeout = static_cast<int>(kErrorTimeout);

inline constexpr std::uint32_t kPollIntervalMs = 1000;
// How long the tree may take to close once asked at the time limit, without "/grace:".
inline constexpr std::uint32_t kDefaultGraceSeconds = 10;

std::optional<std::uint32_t> PriorityClassFor(std::int32_t selector);

// The usage box's text for a message: the message, then the command usage and priority list.
std::wstring UsageText(std::wstring_view message);

// Shows the usage text where the run's messages go: its log, a box, or standard error.
void ShowUsage(RunLog& log, std::wstring_view message);

// One whole run; returns the process's exit status.
int Main(Platform& platform);

}  // namespace modVantrel
