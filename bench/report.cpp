#include "report.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace bench {

namespace {

const char* Mark(bool passed) {
    return passed ? "met" : "**missed**";
}

template <typename Field>
double MedianOf(const std::vector<WaitFigures>& runs, Field field) {
    std::vector<double> values;
    for (const WaitFigures& figures : runs) {
        values.push_back(static_cast<double>(figures.*field));
    }
    return Median(values);
}

template <typename Field>
double MaxOf(const std::vector<WaitFigures>& runs, Field field) {
    double most = 0;
    for (const WaitFigures& figures : runs) {
        most = std::max(most, static_cast<double>(figures.*field));
    }
    return most;
}

double Worst(const std::vector<double>& values) {
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

void PrintLaunches(const Settings& settings, const std::vector<Launcher>& launchers) {
    std::printf("## Launch and wait\n\n");
    std::printf(
        "A probe that exits at once, launched and waited for %d times through each launcher, "
        "in interleaved rounds (after %d warm-up rounds; the first launcher changes each round), "
        "with a pause of %lu ms before each timed launch. Times in milliseconds, from the "
        "creation of the launcher to its end as seen by the driver. The probe is a console "
        "program: under Wine its console host joins the tree of `/t` and is waited for too.\n\n",
        settings.rounds, settings.warmup, settings.pauseMs);
    std::printf(
        "| launcher | median | min | max | median / floor's median | median of per-round "
        "ratios to the floor |\n|---|---:|---:|---:|---:|---:|\n");
    const double floorMedian = Median(launchers[kFloor].times);
    for (const Launcher& launcher : launchers) {
        if (launcher.times.empty()) {
            std::printf("| %s | failed | | | | |\n", launcher.name.c_str());
            continue;
        }
        const auto [low, high] = std::minmax_element(launcher.times.begin(), launcher.times.end());
        std::printf("| %s | %.1f | %.1f | %.1f | %.3f | %.3f |\n", launcher.name.c_str(),
                    Median(launcher.times), *low, *high,
                    floorMedian > 0 ? Median(launcher.times) / floorMedian : 0,
                    Median(launcher.ratios));
    }
    for (const Launcher& launcher : launchers) {
        if (launcher.failures > 0) {
            std::printf("\n%s failed %d times (not counted).\n", launcher.name.c_str(),
                        launcher.failures);
        }
    }
}

void PrintWaits(const Settings& settings, const std::vector<WaitFigures> (&waits)[kWaitColumns]) {
    std::printf("\n## While waiting\n\n");
    std::printf(
        "The launcher waits (`/w` for vantrel.exe) on a probe that sleeps %lu ms; with `/t` on a "
        "tree instead, whose program (`bench/tree.cpp`) starts a child that sleeps %lu ms and "
        "ends at once, so that the child, which stands for the probe below, is the tree's last "
        "process. %d runs each, medians (maximum in brackets). CPU time is kernel plus user time, "
        "taken when the probe is seen to start and again shortly before it ends, %s. The end is "
        "seen by this driver waiting on both processes. Peak working set from "
        "`GetProcessMemoryInfo`.\n\n",
        settings.sleepMs, settings.sleepMs, settings.waits,
        UnderWine() ? "summed over the process's threads from Linux's own account "
                      "(`/proc/<pid>/task/*/schedstat`, in nanoseconds, read through drive Z:; "
                      "Wine answers `GetProcessTimes` about another process with the caller's "
                      "own times, and its thread times come in steps of 10 ms)"
                    : "from `GetProcessTimes`");
    std::printf("| | vantrel.exe | floor | vantrel.exe /t |\n|---|---:|---:|---:|\n");
    const char* rows[] = {"CPU time while waiting (ms)", "length of that stretch (ms)",
                          "CPU time from its start to shortly before the probe's end (ms)",
                          "end seen after the probe's end (ms)", "peak working set (KiB)"};
    double WaitFigures::*fields[] = {&WaitFigures::cpuWaitingMs, &WaitFigures::windowMs,
                                     &WaitFigures::cpuTotalMs, &WaitFigures::endLatencyMs};
    for (std::size_t row = 0; row < 5; ++row) {
        std::printf("| %s |", rows[row]);
        for (const std::vector<WaitFigures>& runs : waits) {
            if (runs.empty()) {
                std::printf(" failed |");
            } else if (row < 4) {
                std::printf(" %.1f (%.1f) |", MedianOf(runs, fields[row]),
                            MaxOf(runs, fields[row]));
            } else {
                std::printf(" %.0f (%.0f) |", MedianOf(runs, &WaitFigures::peakKiB),
                            MaxOf(runs, &WaitFigures::peakKiB));
            }
        }
        std::printf("\n");
    }
}

void PrintDelays(const DelayFigures& delays) {
    std::printf("\n## Priority class of a tree's descendants\n\n");
    std::printf(
        "`vantrel.exe /t /p:4` runs `bench/tree.cpp` as a chain of %d descendants, each started "
        "by the one before once that one has reported. Each polls its own `GetPriorityClass` in "
        "a tight loop from its first instruction until it reads Above Normal (a class that "
        "Windows does not pass on to children, so the change is Vantrel's; after a second it "
        "gives up), then appends one line to a file that all share and that this driver reads "
        "once vantrel.exe has ended. Milliseconds from `QueryPerformanceCounter`.\n\n",
        delays.expected);
    std::printf("| delay to Above Normal | median | worst |\n|---|---:|---:|\n");
    std::printf("| from the descendant's first instruction | %.2f | %.2f |\n",
                Median(delays.fromFirstMs), Worst(delays.fromFirstMs));
    std::printf("| from its parent's call to create it | %.2f | %.2f |\n",
                Median(delays.fromCreationMs), Worst(delays.fromCreationMs));
    std::printf("\n%d of %d descendants saw the class; %d gave up.\n",
                static_cast<int>(delays.fromFirstMs.size()), delays.expected, delays.never);
}

std::string Joined(const std::vector<std::string>& names) {
    std::string joined;
    for (const std::string& name : names) {
        joined += (joined.empty() ? "" : ", ") + name;
    }
    return joined;
}

const char* OnOff(WORD characteristics, WORD flag) {
    return (characteristics & flag) != 0 ? "on" : "off";
}

void PrintImage(const ImageFacts& image) {
    std::printf("\n## The executable\n\n");
    std::printf(
        "| file | size (bytes) | imports | all in the system directory | ASLR | "
        "high-entropy ASLR | DEP |\n|---|---:|---|---|---|---|---|\n");
    if (!image.ok) {
        std::printf("| not given | | | | | | |\n");
        return;
    }
    const WORD flags = image.characteristics;
    std::printf("| %s | %llu | %s | %s | %s | %s | %s |\n", image.name.c_str(),
                static_cast<unsigned long long>(image.size), Joined(image.imports).c_str(),
                image.importsOnlySystem ? "yes" : "no",
                OnOff(flags, IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE),
                OnOff(flags, IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA),
                OnOff(flags, IMAGE_DLLCHARACTERISTICS_NX_COMPAT));
}

void PrintGoals(const Results& results) {
    const std::vector<Launcher>& launchers = results.launchers;
    const double floorMedian = Median(launchers[kFloor].times);
    const double vantrelMedian = Median(launchers[kVantrel].times);
    const double treeMedian = Median(launchers[kVantrelTree].times);
    const bool timed = !launchers[kVantrel].times.empty() && floorMedian > 0;
    const bool treeTimed = timed && !launchers[kVantrelTree].times.empty();
    std::printf("\n## Goals\n\n| goal | figure | |\n|---|---|---|\n");
    std::printf("| launch and wait within 1.10 times the floor | %.3f (per-round %.3f) | %s |\n",
                timed ? vantrelMedian / floorMedian : 0, Median(launchers[kVantrel].ratios),
                Mark(timed && vantrelMedian <= 1.10 * floorMedian));
    std::printf("| %s within 1.10 times %s | %.3f (%.1f ms against %.1f ms) | %s |\n",
                launchers[kVantrelTree].name.c_str(), launchers[kVantrel].name.c_str(),
                treeTimed ? treeMedian / vantrelMedian : 0, treeMedian, vantrelMedian,
                Mark(treeTimed && treeMedian <= 1.10 * vantrelMedian));
    for (const std::size_t peer : {kStart, kCmd}) {
        const double peerMedian = Median(launchers[peer].times);
        std::printf("| below %s | %.1f ms against %.1f ms | %s |\n", launchers[peer].name.c_str(),
                    vantrelMedian, peerMedian,
                    Mark(timed && !launchers[peer].times.empty() && vantrelMedian < peerMedian));
    }
    const struct {
        WaitIndex column;
        const char* waiting;
        const char* waited;
    } waiters[] = {{kWaitVantrel, "", "the waited program"},
                   {kWaitTree, " on a tree (/t)", "the waited tree's last process"}};
    for (const auto& waiter : waiters) {
        const std::vector<WaitFigures>& runs = results.waits[waiter.column];
        const double cpu = runs.empty() ? -1 : MaxOf(runs, &WaitFigures::cpuWaitingMs);
        std::printf("| under 10 ms of CPU time while waiting%s | %.1f ms (worst run) | %s |\n",
                    waiter.waiting, cpu, Mark(!runs.empty() && cpu < 10));
    }
    for (const auto& waiter : waiters) {
        const std::vector<WaitFigures>& runs = results.waits[waiter.column];
        const double latency = runs.empty() ? -1 : MaxOf(runs, &WaitFigures::endLatencyMs);
        std::printf("| end of %s seen within 20 ms | %.1f ms (worst run) | %s |\n", waiter.waited,
                    latency, Mark(!runs.empty() && latency <= 20));
    }
    const DelayFigures& delays = results.delays;
    const double delay = Median(delays.fromFirstMs);
    const bool allSaw = !delays.fromFirstMs.empty() &&
                        static_cast<int>(delays.fromFirstMs.size()) == delays.expected;
    std::printf(
        "| a descendant's priority class set within 10 ms of its start (/t /p:4; median and worst) "
        "| "
        "median %.2f ms, worst %.2f ms, %d of %d descendants | %s |\n",
        delay, Worst(delays.fromFirstMs), static_cast<int>(delays.fromFirstMs.size()),
        delays.expected, Mark(allSaw && delay < 10 && Worst(delays.fromFirstMs) < 10));
    const ImageFacts& image = results.image;
    const WORD flags = image.characteristics;
    const WORD safety = IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE |
                        IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA |
                        IMAGE_DLLCHARACTERISTICS_NX_COMPAT;
    std::printf("| stripped executable under 128 KiB | %llu bytes | %s |\n",
                static_cast<unsigned long long>(image.size),
                Mark(image.ok && image.size < 128 * 1024));
    std::printf("| only Windows system DLLs imported | %s | %s |\n", Joined(image.imports).c_str(),
                Mark(image.ok && image.importsOnlySystem));
    std::printf("| ASLR, high-entropy ASLR and DEP on | DllCharacteristics 0x%04X | %s |\n", flags,
                Mark(image.ok && (flags & safety) == safety));
}

}  // namespace

int PrintReport(const Settings& settings, const Results& results) {
    PrintLaunches(settings, results.launchers);
    PrintWaits(settings, results.waits);
    PrintDelays(results.delays);
    PrintImage(results.image);
    PrintGoals(results);
    const bool timed = !results.launchers[kVantrel].times.empty() &&
                       !results.launchers[kVantrelTree].times.empty() &&
                       !results.launchers[kFloor].times.empty();
    const bool waited = !results.waits[kWaitVantrel].empty() && !results.waits[kWaitTree].empty();
    return timed && waited && !results.delays.fromFirstMs.empty() && results.image.ok ? 0 : 1;
}

}  // namespace bench
