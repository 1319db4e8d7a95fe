// What a launcher costs while it waits: CPU time, peak working set, and how soon it ends after the
// process it waits for.
#pragma once

#include <windows.h>
#include <tlhelp32.h>

#include <cstddef>
#include <functional>

#include "rounds.h"

namespace bench {

bool UnderWine();

// Picks, out of a process snapshot, the process that a launcher with this id waits on.
using WaitedProcess = std::function<bool(const PROCESSENTRY32W& entry, DWORD launcherId)>;

// The launcher's first child: the probe, for a launcher that starts it directly.
bool ChildOfLauncher(const PROCESSENTRY32W& entry, DWORD launcherId);

// What one run of a launcher waiting on a sleeping process showed. Times are in milliseconds.
struct WaitFigures {
    double cpuWaitingMs = -1;  // from the waited process's start to shortly before its end
    double windowMs = 0;       // the length of that stretch
    double cpuTotalMs = -1;    // from the launcher's start to shortly before that end
    double endLatencyMs = -1;  // from that end to the launcher's end
    double startedAt = -1;     // NowMs() just before the launcher was created
    double waitedEndAt = -1;   // NowMs() when the waited process's end was seen
    // Under a time limit, how long after it the tree ended, counted from the program's first
    // instruction (which comes after the resume the limit counts from: at least this) and from
    // the launcher's start (which comes before it: at most this).
    double overshootFromProgramMs = -1;
    double overshootFromLauncherMs = -1;
    std::size_t peakKiB = 0;
};

// Starts the launcher, whose program ends `sleepMs` after it starts (the probe is told through
// VANTREL_PROBE_SLEEP_MS), and watches the launcher while it waits.
bool ProfileWait(const Launcher& launcher, DWORD sleepMs, const WaitedProcess& waited,
                 WaitFigures& figures);

}  // namespace bench
