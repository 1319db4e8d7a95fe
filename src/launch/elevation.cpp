#include "launch/elevation.h"

#include <string>

#include "command/text.h"
#include "launch/owned_handle.h"
#include "launch/poll_until.h"

namespace modVantrel {

LaunchOutcome RunElevated(Platform& platform, std::wstring_view commandText,
                          std::int32_t showWindow, std::uint32_t pollInterval,
                          std::uint32_t promptLimitMs) {
    ElevatedStart start;
    start.path = platform.ModulePath();
    // The elevated run ends with this one, and never starts a third: a run with a parent does not.
    start.parameters = L"/parent:" + Decimal(platform.ProcessId()) + L' ';
    start.parameters += commandText;
    start.directory = platform.CurrentDirectory();
    start.showWindow = showWindow;
    start.ownerWindow = platform.PromptOwner();
    start.timeoutMs = promptLimitMs;

    // The elevated run may be another account's, when a standard user gives an administrator's
    // name at the prompt, and this process's default security lets no other account wait on it.
    // A refusal changes nothing for an elevated run of this account, which may wait as before;
    // another account's run then reports its parent missing, as without the entry.
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
