// The one wait loop of Vantrel: for the program, its tree, or an elevated Vantrel.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace modVantrel {

// Milliseconds from now until `end` on the platform's clock, rounded up, so that only a deadline
// that has passed gives 0.
inline std::uint64_t MillisecondsUntil(Platform& platform, std::uint64_t end) {
    const std::uint64_t now = platform.MonotonicMicroseconds();
    return end > now ? (end - now - 1) / 1000 + 1 : 0;
}

// Waits in steps, handling pending window messages after every step, the last one included, so
// that they wait at most one step. `ended` takes one step and tells whether the wait is over.
// After a step that did not end it, the parent (if any) is tested: a parent that has ended ends
// the wait too, and the result is then false. True when `ended` ended the wait.
template <typename Step>
bool PollUntil(Platform& platform, Handle parent, Step ended) {
    for (;;) {
        const bool over = ended();
        // Any answer but a time-out ends the wait, as for the program itself.
        const bool orphaned =
            !over && parent != nullptr && platform.WaitForProcess(parent, 0) != kWaitTimeout;
        platform.PumpMessages();
        if (over || orphaned) {
            return over;
        }
    }
}

}  // namespace modVantrel
