// Starts one program with a priority class and waits for it as asked.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace modVantrel {

// How LaunchProgram waits after a successful creation.
enum WaitMode : std::int16_t {
    kWaitPolling = -1,        // timed waits, pumping messages after each, until the end
    kWaitNone = 0,            // return at once
    kWaitIdleThenEnd = 9999,  // until idle for input, then until the end
};                            // any other value: until idle for input, and no more

// What is set on the program besides its priority class. With any of these the program is created
// suspended and resumed only once they hold, so that none of its own code runs without them.
struct ProcessControls {
    std::uint64_t affinityMask = 0;  // 0: the processors Vantrel itself may use
    bool efficiency = false;         // ask for efficiency mode, a hint the system may refuse
    bool tree = false;  // the class and the hints for every process the program starts, and
                        // a wait, whatever waitMode says, until the last of them has ended
    // Bounds on the tree, which only a tree has: the time from the resume until the whole tree is
    // ended, a hard cap on its share of all the processors, and the memory it may commit.
    std::uint32_t timeLimitMs = 0;
    std::uint32_t cpuPercent = 0;
    std::uint64_t memoryLimit = 0;
    // How long the tree may take to close once asked at the time limit; 0: it is not asked, and
    // is ended at once.
    std::uint32_t graceMs = 0;
    // Background work: the I/O and memory priorities Very Low, hints as efficiency mode is, for
    // every process that gets the class.
    bool background = false;

    bool Limited() const { return timeLimitMs != 0 || cpuPercent != 0 || memoryLimit != 0; }
    bool Any() const { return affinityMask != 0 || efficiency || tree || background; }
};

// What happened at the time limit: the grace given, what was asked, and whether the grace ran
// out so that Vantrel ended what was left.
struct DeadlineStop {
    std::uint32_t graceMs = 0;
    // The program's process group on Vantrel's console, which is signalled in place of the
    // tree's consoles (vantrel.com with a limit); 0 for none.
    std::uint32_t group = 0;
    std::uint32_t windowsAsked = 0;   // top-level windows sent WM_CLOSE
    std::uint32_t consolesAsked = 0;  // consoles, or the group, sent Ctrl+Break
    bool ended = false;
};

struct LaunchOutcome {
    std::int32_t created = 0;     // nonzero when the program was created and set up and runs
    std::uint32_t error = 0;      // the system's error code of the creation or set-up that failed
    std::uint32_t exitCode = 0;   // the program's exit code when the wait saw its end
    bool parentEnded = false;     // the wait stopped because the request's parent had ended
    bool timedOut = false;        // the time limit acted: the tree closed when asked, or was ended
    DeadlineStop stop;            // with timedOut: how
    bool memoryLimitHit = false;  // the job's port reported the memory limit at least once
    // With the request's report: microseconds from the moment the program was let run to the
    // moment the wait ended, and what the program, or its tree, cost by then.
    std::uint64_t elapsedMicroseconds = 0;
    RunCost cost;
};

// Everything one launch is given.
struct LaunchRequest {
    std::wstring_view path;  // the application name, never searched for
    std::wstring_view arguments;
    std::uint32_t creationFlags = 0;  // the priority class
    std::int16_t waitMode = kWaitNone;
    // The first window's show command, 0 (hidden) included; one that is not a show command is
    // passed as none.
    std::int32_t showWindow = kNoShowWindow;
    bool inheritHandles = false;
    std::uint32_t pollInterval = 1000;  // milliseconds a step of a polling wait lasts at most
    ProcessControls controls;
    // A process whose end ends a polling or tree wait (the tree then ends with the job); none when
    // null. The caller owns it.
    Handle parent = nullptr;
    bool report = false;  // time the run and take its cost before the handles close
    // The program's standard output and error in place of Vantrel's, such as the log; none when
    // null. The caller owns it.
    Handle output = nullptr;
};

// How long the tree may take to empty once the time limit has ended it.
inline constexpr std::uint32_t kEndedTreeWaitMs = 5000;

// The command line a program is created with: its path quoted, then its arguments as they are.
std::wstring BuildCommandLine(std::wstring_view path, std::wstring_view arguments);

// Creates the process as `request` says, applies its controls, waits per its wait mode, and
// closes both handles in `processInfo` before returning. A set-up step that fails ends the
// suspended program before any of its code has run.
LaunchOutcome LaunchProgram(Platform& platform, const LaunchRequest& request,
                            ProcessInformation& processInfo);

}  // namespace modVantrel
