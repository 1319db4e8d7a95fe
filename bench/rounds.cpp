#include "rounds.h"

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <random>
#include <utility>

namespace bench {

double NowMs() {
    static const double ticksPerMs = [] {
        LARGE_INTEGER frequency;
        ::QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / ticksPerMs;
}

double Median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::wstring Quoted(const std::wstring& path) {
    return L"\"" + path + L"\"";
}

std::wstring FileName(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring SystemDirectory() {
    wchar_t directory[MAX_PATH];
    const UINT length = ::GetSystemDirectoryW(directory, MAX_PATH);
    return std::wstring(directory, length);
}

Launcher MakeLauncher(std::string name, std::wstring application, std::wstring commandLine,
                      bool exitCodeIsProbes) {
    Launcher launcher;
    launcher.name = std::move(name);
    launcher.application = std::move(application);
    launcher.commandLine = std::move(commandLine);
    launcher.exitCodeIsProbes = exitCodeIsProbes;
    return launcher;
}

bool Start(const Launcher& launcher, Started& started) {
    std::wstring line = launcher.commandLine;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    // No standard handles, as from a shortcut. Wine would otherwise hand this driver's own, its
    // report file among them, to the launcher, which Windows does not, and a launcher that passes
    // them on does other work: a program whose output is all captured gets a console without a
    // window, whose host Wine ends later, which /t then waits for.
    startup.dwFlags = STARTF_USESTDHANDLES;
    PROCESS_INFORMATION created{};
    if (!::CreateProcessW(launcher.application.empty() ? nullptr : launcher.application.c_str(),
                          line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &created)) {
        std::fprintf(stderr, "cannot start %s: error %lu\n", launcher.name.c_str(),
                     ::GetLastError());
        return false;
    }
    ::CloseHandle(created.hThread);
    started.process.Reset(created.hProcess);
    started.processId = created.dwProcessId;
    return true;
}

bool AwaitEnd(const Launcher& launcher, HANDLE process) {
    constexpr DWORD kPatienceMs = 30000;
    if (::WaitForSingleObject(process, kPatienceMs) == WAIT_OBJECT_0) {
        return true;
    }
    std::fprintf(stderr, "%s did not end within %lu ms; ended by the driver\n",
                 launcher.name.c_str(), kPatienceMs);
    ::TerminateProcess(process, 1);
    ::WaitForSingleObject(process, kPatienceMs);
    return false;
}

namespace {

// Milliseconds from creation to the end of the launcher, or a negative value on failure.
double TimeOneLaunch(const Launcher& launcher) {
    const double begin = NowMs();
    Started started;
    if (!Start(launcher, started)) {
        return -1;
    }
    if (!AwaitEnd(launcher, started.process.get())) {
        return -1;
    }
    const double elapsed = NowMs() - begin;
    DWORD code = 0;
    ::GetExitCodeProcess(started.process.get(), &code);
    if (launcher.exitCodeIsProbes && code != 0) {
        std::fprintf(stderr, "%s exited with %lu\n", launcher.name.c_str(), code);
        return -1;
    }
    return elapsed;
}

}  // namespace

void RunRounds(std::vector<Launcher>& launchers, std::size_t floor, int warmup, int rounds,
               DWORD pauseMs) {
    // Each round takes the launchers in another order, the same from run to run, so that none
    // always follows the same one: a launcher that leaves work behind it (cmd and its console
    // host) would otherwise slow the one after it in every round.
    std::vector<std::size_t> order(launchers.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::mt19937 shuffle(20261209);
    for (int round = -warmup; round < rounds; ++round) {
        std::shuffle(order.begin(), order.end(), shuffle);
        std::vector<double> times(launchers.size(), -1);
        for (const std::size_t index : order) {
            ::Sleep(pauseMs);
            times[index] = TimeOneLaunch(launchers[index]);
        }
        if (round < 0) {
            continue;
        }
        for (std::size_t index = 0; index < launchers.size(); ++index) {
            Launcher& launcher = launchers[index];
            if (times[index] < 0) {
                ++launcher.failures;
                continue;
            }
            launcher.times.push_back(times[index]);
            if (times[floor] > 0) {
                launcher.ratios.push_back(times[index] / times[floor]);
            }
        }
    }
}

}  // namespace bench
