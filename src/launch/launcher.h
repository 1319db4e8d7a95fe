// Starts one program with a priority class and waits for it as asked.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/platform.h"

namespace modVantrel {

// How LaunchProgram waits after a successful creation.
enum WaitMode : std::int16_t {
    kWaitPolling = -1,        // timed waits, pumping messages after each, until the end
    kWaitNone = 0,            // return at once
    kWaitIdleThenEnd = 9999,  // until idle for input, then until the end
};                            // any other value: until idle for input, and no more

struct LaunchOutcome {
    std::int32_t created = 0;    // the creation call's result: nonzero when the process exists
    std::uint32_t error = 0;     // the system's error code when creation failed
    std::uint32_t exitCode = 0;  // the program's exit code when the wait saw its end
};

// Creates the process from `path` (the application name, never searched for) and `arguments`,
// with `creationFlags` as given; waits per `waitMode`; closes both handles in `processInfo`
// before returning. A `showWindow` above 0 sets the first window's show command; one above
// 32767 does not fit the start-up record and is fatal.
LaunchOutcome LaunchProgram(Platform& platform, std::wstring_view path, std::wstring_view arguments,
                            std::uint32_t creationFlags, std::int16_t waitMode,
                            std::int32_t showWindow, bool inheritHandles,
                            ProcessInformation& processInfo, std::uint32_t pollInterval);

}  // namespace modVantrel
