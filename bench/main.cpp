// Measures what vantrel.exe and its console build vantrel.com cost next to the floor (a minimal
// launcher in C) and to the usual peers, and what the tree option costs, and prints the results as
// Markdown. Run under Windows or Wine:
//   vantrel_bench.exe <vantrel.exe> <vantrel.com> <floor.exe> <probe.exe> <tree.exe> [options]
//     --rounds N       timed rounds (default 40), after --warmup N rounds (default 3)
//     --pause MS       pause before each timed launch (default 150), so that the previous process
//                      has finished tearing down and launches do not disturb each other
//     --waits N        runs of each 5-second wait (default 3)
//     --descendants N  descendants that report when their priority class came (default 20)
//     --other FILE     another build of vantrel.exe, timed beside the first (e.g. an older one)
//     --image-name NAME --image-size BYTES --image-flags HEX --image-imports DLL,DLL...
//                      an executable's facts, from its headers (scripts/bench.sh reads them);
//                      one group for each executable, each opened by --image-name
// The probe exits at once unless VANTREL_PROBE_SLEEP_MS asks it to sleep; it inherits that
// variable from this driver through the launcher.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "accounting.h"
#include "descendants.h"
#include "image.h"
#include "report.h"
#include "rounds.h"

namespace {

using namespace bench;

struct Options {
    std::wstring vantrel, console, floor, probe, tree, other;
    std::vector<ImageText> images;
    Settings settings;
};

int Count(const wchar_t* text, int least) {
    return std::max(least, _wtoi(text));
}

// Where an option that takes text keeps it, or null. --image-name opens the next executable's
// group; the other --image-* options fill the group opened last.
std::wstring* TextOption(const std::wstring& argument, Options& options) {
    if (argument == L"--other") {
        return &options.other;
    }
    if (argument == L"--image-name") {
        return &options.images.emplace_back().name;
    }
    if (options.images.empty()) {
        return nullptr;
    }
    ImageText& image = options.images.back();
    return argument == L"--image-size"      ? &image.size
           : argument == L"--image-flags"   ? &image.characteristics
           : argument == L"--image-imports" ? &image.imports
                                            : nullptr;
}

bool ReadOptions(int argc, wchar_t** argv, Options& options) {
    Settings& settings = options.settings;
    std::vector<std::wstring> positional;
    for (int i = 1; i < argc; ++i) {
        const std::wstring argument = argv[i];
        const bool hasValue = i + 1 < argc;
        std::wstring* const text = hasValue ? TextOption(argument, options) : nullptr;
        if (text != nullptr) {
            *text = argv[++i];
        } else if (argument == L"--rounds" && hasValue) {
            settings.rounds = Count(argv[++i], 1);
        } else if (argument == L"--warmup" && hasValue) {
            settings.warmup = Count(argv[++i], 0);
        } else if (argument == L"--pause" && hasValue) {
            settings.pauseMs = static_cast<DWORD>(Count(argv[++i], 0));
        } else if (argument == L"--waits" && hasValue) {
            settings.waits = Count(argv[++i], 0);
        } else if (argument == L"--descendants" && hasValue) {
            settings.descendants = Count(argv[++i], 1);
        } else {
            positional.push_back(argument);
        }
    }
    if (positional.size() != 5) {
        return false;
    }
    options.vantrel = positional[0];
    options.console = positional[1];
    options.floor = positional[2];
    options.probe = positional[3];
    options.tree = positional[4];
    return true;
}

std::vector<Launcher> MakeLaunchers(const Options& options) {
    const std::wstring system = SystemDirectory();
    const std::wstring& probe = options.probe;
    const std::wstring& vantrel = options.vantrel;
    // Peers take the path unquoted when they can, as a user would type it.
    const std::wstring plainProbe = probe.find(L' ') == std::wstring::npos ? probe : Quoted(probe);
    const std::wstring vantrelArguments = L" /w /p:3 " + Quoted(probe);
    std::vector<Launcher> launchers;
    launchers.push_back(MakeLauncher("probe, started directly", probe, Quoted(probe), true));
    launchers.push_back(MakeLauncher("floor (minimal C launcher)", options.floor,
                                     Quoted(options.floor) + L" " + probe, true));
    launchers.push_back(
        MakeLauncher("vantrel.exe /w /p:3", vantrel, Quoted(vantrel) + vantrelArguments, true));
    launchers.push_back(MakeLauncher("vantrel.com /w /p:3", options.console,
                                     Quoted(options.console) + vantrelArguments, true));
    launchers.push_back(MakeLauncher("vantrel.exe /t /a:1 /e /p:3", vantrel,
                                     Quoted(vantrel) + L" /t /a:1 /e /p:3 " + Quoted(probe), true));
    launchers.push_back(MakeLauncher("start.exe /wait /normal", system + L"\\start.exe",
                                     L"start.exe /wait /normal " + plainProbe, false));
    launchers.push_back(MakeLauncher("cmd.exe /c start \"\" /wait /normal", system + L"\\cmd.exe",
                                     L"cmd.exe /c start \"\" /wait /normal " + plainProbe, false));
    launchers.push_back(MakeLauncher("vantrel.exe /w /p:3, probe on the PATH", vantrel,
                                     Quoted(vantrel) + L" /w /p:3 " + FileName(probe), true));
    // One log for every round, as a scheduled task's: each run appends its start line.
    launchers.push_back(MakeLauncher(
        "vantrel.exe /log: /w /p:3", vantrel,
        Quoted(vantrel) + L" /log:" + Quoted(probe + L".log") + vantrelArguments, true));
    if (!options.other.empty()) {
        launchers.push_back(MakeLauncher("other build: vantrel.exe /w /p:3", options.other,
                                         Quoted(options.other) + vantrelArguments, true));
    }
    return launchers;
}

// Each launcher that waits, with the process it waits on: for the tree, the program's child,
// which outlives the program (its parent is not the launcher).
void ProfileWaits(const Options& options, const std::vector<Launcher>& launchers,
                  Results& results) {
    const Settings& settings = options.settings;
    const Launcher tree =
        MakeLauncher("vantrel.exe /t /p:3", options.vantrel,
                     Quoted(options.vantrel) + L" /t /p:3 " + Quoted(options.tree) + L" outlive " +
                         std::to_wstring(settings.sleepMs),
                     true);
    // The same tree under a time limit as long as the others' wait, whose child would sleep twice
    // as long: Vantrel ends it at the limit.
    const Launcher limited = MakeLauncher(
        "vantrel.exe /time:", options.vantrel,
        Quoted(options.vantrel) + L" /time:" + std::to_wstring(settings.sleepMs / 1000) +
            L" /p:3 " + Quoted(options.tree) + L" outlive " + std::to_wstring(2 * settings.sleepMs),
        true);
    const std::wstring treeName = FileName(options.tree);
    const WaitedProcess treeChild = [&treeName](const PROCESSENTRY32W& entry, DWORD launcherId) {
        return entry.th32ParentProcessID != launcherId &&
               _wcsicmp(entry.szExeFile, treeName.c_str()) == 0;
    };
    const struct {
        const Launcher* launcher;
        WaitedProcess waited;
    } watched[kWaitColumns] = {{&launchers[kVantrel], ChildOfLauncher},
                               {&launchers[kConsole], ChildOfLauncher},
                               {&launchers[kFloor], ChildOfLauncher},
                               {&tree, treeChild},
                               {&limited, treeChild}};
    // Under the time limit the tree's program writes the moment of its first instruction, a
    // moment after Vantrel let it run, from which the limit counts.
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring startFile = std::wstring(temp) + L"vantrel-bench-limit.txt";
    for (int run = 0; run < settings.waits; ++run) {
        for (std::size_t column = 0; column < kWaitColumns; ++column) {
            ::Sleep(settings.pauseMs);
            const bool limit = column == kWaitTimeLimit;
            ::DeleteFileW(startFile.c_str());
            ::SetEnvironmentVariableW(L"VANTREL_TREE_REPORT", limit ? startFile.c_str() : nullptr);
            WaitFigures figures;
            const bool ok = ProfileWait(*watched[column].launcher, settings.sleepMs,
                                        watched[column].waited, figures);
            ::SetEnvironmentVariableW(L"VANTREL_TREE_REPORT", nullptr);
            double programStart = -1;
            FILE* const file = limit ? _wfopen(startFile.c_str(), L"r") : nullptr;
            if (file != nullptr) {
                if (std::fscanf(file, "%lf", &programStart) != 1) {
                    programStart = -1;
                }
                std::fclose(file);
            }
            const double limitMs = settings.sleepMs;
            figures.overshootFromProgramMs = figures.waitedEndAt - programStart - limitMs;
            figures.overshootFromLauncherMs = figures.waitedEndAt - figures.startedAt - limitMs;
            if (ok && (!limit || programStart >= 0)) {
                results.waits[column].push_back(figures);
            }
        }
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Options options;
    if (!ReadOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: vantrel_bench <vantrel.exe> <vantrel.com> <floor.exe> <probe.exe> "
                     "<tree.exe> [--rounds N] [--warmup N] [--pause MS] [--waits N] "
                     "[--descendants N] [--other FILE] [--image-name NAME --image-size BYTES "
                     "--image-flags HEX --image-imports DLL,DLL...]...\n");
        return 2;
    }
    for (const wchar_t* variable : {L"VANTREL_PROBE_SLEEP_MS", L"VANTREL_PROBE_EXIT",
                                    L"VANTREL_PROBE_RECORD", L"VANTREL_PROBE_DONE"}) {
        ::SetEnvironmentVariableW(variable, nullptr);
    }
    // The probe's folder last on the PATH, for the launch that names the probe alone.
    std::wstring path(32768, L'\0');
    path.resize(::GetEnvironmentVariableW(L"PATH", path.data(), 32768));
    const std::wstring& probe = options.probe;
    path += L";" + probe.substr(0, probe.size() - FileName(probe).size());
    ::SetEnvironmentVariableW(L"PATH", path.c_str());
    const Settings& settings = options.settings;
    Results results;
    results.launchers = MakeLaunchers(options);

    std::fprintf(stderr, "launch and wait: %d warm-up and %d timed rounds\n", settings.warmup,
                 settings.rounds);
    RunRounds(results.launchers, kFloor, settings.warmup, settings.rounds, settings.pauseMs);

    std::fprintf(stderr, "waiting: %d runs each of a 5 s wait\n", settings.waits);
    ProfileWaits(options, results.launchers, results);

    std::fprintf(stderr, "priority class of %d descendants\n", settings.descendants);
    MeasureDelays(options.vantrel, options.tree, settings.descendants, results.delays);

    for (const ImageText& image : options.images) {
        results.images.push_back(ReadImageFacts(image));
    }
    results.consoleImage = Utf8(FileName(options.console));
    return PrintReport(settings, results);
}
