// The report: Markdown tables of what the driver measured, and each goal with its mark.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "accounting.h"
#include "descendants.h"
#include "image.h"
#include "rounds.h"

namespace bench {

// The launchers of the interleaved rounds, in the report's order; another build may follow them.
enum LauncherIndex : std::size_t {
    kProbe,
    kFloor,
    kVantrel,
    kConsole,
    kVantrelTree,
    kStart,
    kCmd,
    kVantrelPath,  // the probe by its name alone, found in the PATH's last folder
    kLogged
};
// The launchers watched while they wait, in the report's columns.
enum WaitIndex : std::size_t {
    kWaitVantrel,
    kWaitConsole,
    kWaitFloor,
    kWaitTree,
    kWaitTimeLimit,
    kWaitColumns
};

struct Settings {
    int rounds = 40;
    int warmup = 3;
    DWORD pauseMs = 150;  // before each timed launch
    int waits = 3;        // runs of each wait
    DWORD sleepMs = 5000;
    int descendants = 20;
};

struct Results {
    std::vector<Launcher> launchers;
    std::vector<WaitFigures> waits[kWaitColumns];
    DelayFigures delays;
    std::vector<ImageFacts> images;  // one for each executable the script described
    std::string consoleImage;        // the console build's file name, which must not load user32
};

// Prints the report on standard output and returns the driver's exit status: 0 when every
// measurement gave figures, whether or not they meet their goals.
int PrintReport(const Settings& settings, const Results& results);

}  // namespace bench
