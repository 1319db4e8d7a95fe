#include "accounting.h"

#include <psapi.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <string>
#include <vector>

namespace bench {

bool UnderWine() {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

bool ChildOfLauncher(const PROCESSENTRY32W& entry, DWORD launcherId) {
    return entry.th32ParentProcessID == launcherId;
}

namespace {

std::uint64_t Ticks(const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// Kernel plus user time of the threads the process has now. Wine answers GetProcessTimes about
// another process with the caller's own times, but reads another process's thread times right.
double ThreadCpuMs(DWORD processId) {
    const Handle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    std::uint64_t total = 0;
    bool any = false;
    if (snapshot.valid() && ::Thread32First(snapshot.get(), &entry)) {
        do {
            if (entry.th32OwnerProcessID != processId) {
                continue;
            }
            const Handle thread(
                ::OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ThreadID));
            FILETIME creation, exit, kernel, user;
            if (thread.valid() &&
                ::GetThreadTimes(thread.get(), &creation, &exit, &kernel, &user)) {
                total += Ticks(kernel) + Ticks(user);
                any = true;
            }
        } while (::Thread32Next(snapshot.get(), &entry));
    }
    return any ? static_cast<double>(total) / 10000.0 : -1;
}

// Looks through a snapshot of the processes for the first one that `matches` picks.
template <typename Match>
bool FindProcess(Match matches, PROCESSENTRY32W& found) {
    const Handle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    if (snapshot.valid() && ::Process32FirstW(snapshot.get(), &entry)) {
        do {
            if (matches(entry)) {
                found = entry;
                return true;
            }
        } while (::Process32NextW(snapshot.get(), &entry));
    }
    return false;
}

// The file name of a running process's executable, as Toolhelp lists it.
std::wstring ExeName(DWORD processId) {
    PROCESSENTRY32W entry;
    const auto same = [processId](const PROCESSENTRY32W& e) {
        return e.th32ProcessID == processId;
    };
    return FindProcess(same, entry) ? std::wstring(entry.szExeFile) : std::wstring();
}

std::string ReadSmallFile(const std::wstring& path) {
    const Handle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    std::string text(4096, '\0');
    DWORD read = 0;
    if (!file.valid() || !::ReadFile(file.get(), text.data(), 4096, &read, nullptr)) {
        return {};
    }
    text.resize(read);
    return text;
}

bool SameFileName(const std::string& path, const std::wstring& name) {
    const std::size_t slash = path.find_last_of("\\/");
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    if (base.size() != name.size()) {
        return false;
    }
    for (std::size_t i = 0; i < base.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(base[i])) != std::towlower(name[i])) {
            return false;
        }
    }
    return true;
}

// The names in a folder that start with a digit: process and thread ids, below Z:\\proc.
std::vector<std::wstring> NumberedEntries(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry{};
    const modVantrel::SearchHandle find(::FindFirstFileW((folder + L"\\*").c_str(), &entry));
    if (!find.valid()) {
        return names;
    }
    do {
        if (entry.cFileName[0] >= L'0' && entry.cFileName[0] <= L'9') {
            names.emplace_back(entry.cFileName);
        }
    } while (::FindNextFileW(find.get(), &entry));
    return names;
}

// Under Wine, Linux's own account of the process, read through drive Z: and summed over its
// threads: nanoseconds on the CPU, where Wine's calls see only steps of 10 ms. The process is the
// one whose first argument names the executable; the benchmark runs one such at a time.
double LinuxCpuMs(DWORD processId) {
    const std::wstring exe = ExeName(processId);
    if (exe.empty()) {
        return -1;
    }
    for (const std::wstring& pid : NumberedEntries(L"Z:\\proc")) {
        const std::wstring proc = L"Z:\\proc\\" + pid;
        if (!SameFileName(ReadSmallFile(proc + L"\\cmdline").c_str(), exe)) {
            continue;
        }
        std::uint64_t nanoseconds = 0;
        for (const std::wstring& tid : NumberedEntries(proc + L"\\task")) {
            const std::string stat = ReadSmallFile(proc + L"\\task\\" + tid + L"\\schedstat");
            nanoseconds += std::strtoull(stat.c_str(), nullptr, 10);
        }
        return static_cast<double>(nanoseconds) / 1e6;
    }
    return -1;
}

// CPU time of a running process so far, in milliseconds, or a negative value when unknown.
double CpuMs(HANDLE process, DWORD processId) {
    if (UnderWine()) {
        const double fromLinux = LinuxCpuMs(processId);
        return fromLinux >= 0 ? fromLinux : ThreadCpuMs(processId);
    }
    FILETIME creation, exit, kernel, user;
    if (!::GetProcessTimes(process, &creation, &exit, &kernel, &user)) {
        return -1;
    }
    return static_cast<double>(Ticks(kernel) + Ticks(user)) / 10000.0;
}

std::size_t PeakWorkingSetKiB(HANDLE process) {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    return ::GetProcessMemoryInfo(process, &counters, sizeof counters)
               ? counters.PeakWorkingSetSize / 1024
               : 0;
}

// The process the launcher waits on, once it has started.
Handle OpenWaited(const WaitedProcess& waited, DWORD launcherId, double timeoutMs) {
    const double deadline = NowMs() + timeoutMs;
    const auto matches = [&](const PROCESSENTRY32W& entry) { return waited(entry, launcherId); };
    while (NowMs() < deadline) {
        PROCESSENTRY32W entry;
        if (FindProcess(matches, entry)) {
            return Handle(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                        entry.th32ProcessID));
        }
        ::Sleep(1);
    }
    return Handle();
}

}  // namespace

bool ProfileWait(const Launcher& launcher, DWORD sleepMs, const WaitedProcess& waited,
                 WaitFigures& figures) {
    ::SetEnvironmentVariableW(L"VANTREL_PROBE_SLEEP_MS", std::to_wstring(sleepMs).c_str());
    Started started;
    figures.startedAt = NowMs();
    const bool ok = Start(launcher, started);
    ::SetEnvironmentVariableW(L"VANTREL_PROBE_SLEEP_MS", nullptr);
    if (!ok) {
        return false;
    }
    const Handle probe = OpenWaited(waited, started.processId, 10000);
    if (!probe.valid()) {
        std::fprintf(stderr, "%s: no waited process found\n", launcher.name.c_str());
        AwaitEnd(launcher, started.process.get());
        return false;
    }
    const double found = NowMs();
    const double cpuAtStart = CpuMs(started.process.get(), started.processId);
    // Sample shortly before the probe's end: some systems forget a process's times at its end.
    const double sampleAt = found + sleepMs - 400;
    ::Sleep(static_cast<DWORD>(std::max(0.0, sampleAt - NowMs())));
    const double sampled = NowMs();
    const double cpuBeforeEnd = CpuMs(started.process.get(), started.processId);
    figures.peakKiB = PeakWorkingSetKiB(started.process.get());
    ::WaitForSingleObject(probe.get(), sleepMs + 30000);
    const double probeEnded = NowMs();
    if (!AwaitEnd(launcher, started.process.get())) {
        return false;
    }
    figures.endLatencyMs = NowMs() - probeEnded;
    figures.waitedEndAt = probeEnded;
    figures.windowMs = sampled - found;
    figures.cpuWaitingMs = cpuBeforeEnd - cpuAtStart;
    figures.cpuTotalMs = cpuBeforeEnd;
    figures.peakKiB = std::max(figures.peakKiB, PeakWorkingSetKiB(started.process.get()));
    return cpuAtStart >= 0 && cpuBeforeEnd >= 0;
}

}  // namespace bench
