// The one line that "/r" writes when the wait is over: what the run cost.
#pragma once

#include <string>

#include "launch/launcher.h"

namespace modVantrel {

// "vantrel: status=.. elapsed=..s user=..s kernel=..s processes=.. peak-commit=..MiB read=..MiB
// written=..MiB", then " limit=time stop=closed" (the tree closed when asked), " limit=time
// stop=ended" (Vantrel ended what was left) or " limit=memory" when a limit acted, and CR LF.
// Seconds with three decimals and MiB (1024 * 1024 bytes) with one, rounded half up, always with
// '.';
// "-" for a figure the system did not give. `status` is the one Vantrel is about to exit with.
std::wstring ReportLine(int status, const LaunchOutcome& outcome);

}  // namespace modVantrel
