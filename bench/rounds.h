// Timing of launches: each launcher starts the probe and waits for it, in interleaved rounds.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "platform/unique_handle.h"

namespace bench {

using Handle = modVantrel::KernelHandle;

double NowMs();
double Median(std::vector<double> values);
std::wstring Quoted(const std::wstring& path);
std::wstring FileName(const std::wstring& path);
std::wstring SystemDirectory();

// One way of starting a program and waiting for it, and what its timed rounds gave.
struct Launcher {
    std::string name;
    std::wstring application;  // empty: taken from the command line
    std::wstring commandLine;
    bool exitCodeIsProbes = false;  // whether the launcher passes the probe's exit code on
    std::vector<double> times;      // milliseconds, one per timed round that succeeded
    std::vector<double> ratios;     // to the floor's time in the same round
    int failures = 0;
};

Launcher MakeLauncher(std::string name, std::wstring application, std::wstring commandLine,
                      bool exitCodeIsProbes);

struct Started {
    Handle process;
    DWORD processId = 0;
};

bool Start(const Launcher& launcher, Started& started);
// Waits for a process this driver started; one that hangs (a message box, say) is ended after
// half a minute, so that a run always finishes.
bool AwaitEnd(const Launcher& launcher, HANDLE process);

// Times every launcher once a round, after `warmup` rounds that are not counted.
void RunRounds(std::vector<Launcher>& launchers, std::size_t floor, int warmup, int rounds,
               DWORD pauseMs);

}  // namespace bench
