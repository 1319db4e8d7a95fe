#include "launch/elevation.h"

#include <algorithm>
#include <string>

#include "command/text.h"
#include "launch/owned_handle.h"
#include "launch/poll_until.h"

namespace modVantrel {

LaunchOutcome RunElevated(Platform& platform, std::wstring_view commandText,
                          std::int32_t showWindow, std::uint32_t pollInterval,
                          std::uint64_t deadline) {
    ElevatedStart start;
    start.path = platform.ModulePath();
    // The elevated run ends with this one, and never starts a third: a run with a parent does not.
    // It names this run by its id and start, so that a later process given the same id is never
    // taken for it, and gets the time limit's end, so that it has only what is left.
    start.parameters = L"/parent:" + Decimal(platform.ProcessId()) + L':' +
                       Decimal(platform.StartTimeOf(nullptr)) + L':' + Decimal(deadline) + L' ';
    start.parameters += commandText;
    start.directory = platform.CurrentDirectory();
    start.showWindow = showWindow;
    start.ownerWindow = platform.PromptOwner();
    // A consent prompt nobody answers must not hold the run past its time limit.
    start.timeoutMs = deadline == 0 ? kInfinite
                                    : static_cast<std::uint32_t>(std::min<std::uint64_t>(
                                          MillisecondsUntil(platform, deadline), kInfinite - 1));

    // The elevated run may be another account's, when a standard user gives an administrator's
    // name at the prompt, and this process's default security lets no other account wait on it.
    // A refusal changes nothing for an elevated run of this account, which may wait as before;
    // another account's run then finds no parent and ends at once, as without the entry.
    platform.AllowAdministratorsToWait();

    LaunchOutcome outcome;
    OwnedHandle elevated(platform);
    outcome.error = platform.StartElevated(start, elevated.receive());
    if (outcome.error == kErrorTimeout) {
        // Nothing ran; an answer that comes later starts a run that finds this one gone.
        outcome.error = 0;
        outcome.created = 1;
        outcome.exitCode = kErrorTimeout;
        outcome.timedOut = true;
        return outcome;
    }
    if (outcome.error != 0) {
        return outcome;
    }
    outcome.created = 1;
    PollUntil(platform, nullptr, [&] {
        return platform.WaitForProcess(elevated.get(), pollInterval) != kWaitTimeout;
    });
    outcome.exitCode = platform.ExitCodeOf(elevated.get());
    return outcome;
}

}  // namespace modVantrel
