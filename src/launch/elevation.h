// Vantrel started again, elevated, for a program that needs administrator rights: the elevated
// run does the whole launch, so that the priority, the mask, the hint and the tree hold there.
#pragma once

#include <cstdint>
#include <string_view>

#include "launch/launcher.h"
#include "platform/platform.h"

namespace modVantrel {

// Starts Vantrel's own executable elevated, in the current directory, with
// "/parent:<own id>:<own start>:<deadline> " before `commandText`, the argument text this run was
// given, and the show command given; then waits for it in steps of `pollInterval` milliseconds,
// pumping messages after each. The outcome's exit code is the elevated run's status; created is 0
// when it could not be started. `deadline` is the end of the time limit on the platform's clock,
// 0 for none: a consent prompt still unanswered then ends the run as the time limit does, and the
// status is ERROR_TIMEOUT.
LaunchOutcome RunElevated(Platform& platform, std::wstring_view commandText,
                          std::int32_t showWindow, std::uint32_t pollInterval,
                          std::uint64_t deadline);

}  // namespace modVantrel
