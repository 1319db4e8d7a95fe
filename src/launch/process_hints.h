// The hints that every process of a run is given: the program, and with a tree each process as it
// joins, in the step that gives it the class. The system may refuse any of them; the process then
// runs without it, and nothing is reported.
#pragma once

#include "launch/launcher.h"
#include "platform/platform.h"

namespace modVantrel {

inline void GiveHints(Platform& platform, Handle process, const ProcessControls& controls) {
    if (controls.efficiency) {
        platform.SetEfficiencyMode(process);
    }
    // The two halves of the background mode that Windows lets a process enter only by itself.
    if (controls.background) {
        platform.SetLowIoPriority(process);
        platform.SetLowMemoryPriority(process);
    }
}

}  // namespace modVantrel
