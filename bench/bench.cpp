// Measures what vantrel.exe costs next to the floor (a minimal launcher in C) and to the usual
// peers, and prints the results as Markdown. Run under Windows or Wine:
//   vantrel_bench.exe <vantrel.exe> <floor.exe> <probe.exe> [options]
//     --rounds N     timed rounds (default 40), after --warmup N rounds (default 3)
//     --pause MS     pause before each timed launch (default 150), so that the previous process
//                    has finished tearing down and launches do not disturb each other
//     --waits N      runs of the 5-second wait (default 3)
//     --image FILE   the executable to inspect for size and imports (default <vantrel.exe>)
//     --other FILE   another build of vantrel.exe, timed beside the first (e.g. an older one)
// The probe exits at once unless VANTREL_PROBE_SLEEP_MS asks it to sleep; it inherits that
// variable from this driver through the launcher.
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <cctype>
#include <string>
#include <utility>
#include <vector>

#include "platform/unique_handle.h"

namespace {

using Handle = modVantrel::KernelHandle;

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

std::string Utf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(),
                          size, nullptr, nullptr);
    return result;
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

double Median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// One way of starting the probe and waiting for it.
struct Launcher {
    std::string name;
    std::wstring application;  // empty: taken from the command line
    std::wstring commandLine;
    bool exitCodeIsProbes = false;  // whether the launcher passes the probe's exit code on
    std::vector<double> times;
    int failures = 0;
};

Launcher MakeLauncher(std::string name, std::wstring application, std::wstring commandLine,
                      bool exitCodeIsProbes) {
    Launcher launcher;
    launcher.name = std::move(name);
    launcher.application = std::move(application);
    launcher.commandLine = std::move(commandLine);
    launcher.exitCodeIsProbes = exitCodeIsProbes;
    return launcher;
}

struct Started {
    Handle process;
    DWORD processId = 0;
};

bool Start(const Launcher& launcher, Started& started) {
    std::wstring line = launcher.commandLine;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
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

// Waits for a process this driver started; one that hangs (a message box, say) is ended after
// half a minute, so that a run always finishes.
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

// Milliseconds from creation to the end of the launcher, or a negative value on failure.
double TimeOneLaunch(Launcher& launcher) {
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

std::uint64_t Ticks(const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

bool UnderWine() {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
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

// The file name of a running process's executable, as Toolhelp lists it.
std::wstring ExeName(DWORD processId) {
    const Handle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    if (snapshot.valid() && ::Process32FirstW(snapshot.get(), &entry)) {
        do {
            if (entry.th32ProcessID == processId) {
                return entry.szExeFile;
            }
        } while (::Process32NextW(snapshot.get(), &entry));
    }
    return {};
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

// The probe that a launcher started: its first child.
Handle OpenChild(DWORD parentId, double timeoutMs) {
    const double deadline = NowMs() + timeoutMs;
    while (NowMs() < deadline) {
        Handle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof entry;
        if (snapshot.valid() && ::Process32FirstW(snapshot.get(), &entry)) {
            do {
                if (entry.th32ParentProcessID == parentId) {
                    return Handle(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION,
                                                FALSE, entry.th32ProcessID));
                }
            } while (::Process32NextW(snapshot.get(), &entry));
        }
        ::Sleep(1);
    }
    return Handle();
}

// What one run of a launcher waiting on a sleeping probe showed. CPU times are in milliseconds.
struct WaitFigures {
    double cpuWaitingMs = -1;  // from the probe's start to shortly before its end
    double windowMs = 0;       // the length of that stretch
    double cpuTotalMs = -1;    // from the launcher's start to shortly before the probe's end
    double endLatencyMs = -1;  // from the probe's end to the launcher's end
    std::size_t peakKiB = 0;
};

// Starts the launcher on a probe that sleeps `sleepMs` and watches it while it waits.
bool ProfileWait(const Launcher& launcher, DWORD sleepMs, WaitFigures& figures) {
    ::SetEnvironmentVariableW(L"VANTREL_PROBE_SLEEP_MS", std::to_wstring(sleepMs).c_str());
    Started started;
    const bool ok = Start(launcher, started);
    ::SetEnvironmentVariableW(L"VANTREL_PROBE_SLEEP_MS", nullptr);
    if (!ok) {
        return false;
    }
    const Handle probe = OpenChild(started.processId, 10000);
    if (!probe.valid()) {
        std::fprintf(stderr, "%s: no probe process found\n", launcher.name.c_str());
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
    figures.windowMs = sampled - found;
    figures.cpuWaitingMs = cpuBeforeEnd - cpuAtStart;
    figures.cpuTotalMs = cpuBeforeEnd;
    figures.peakKiB = std::max(figures.peakKiB, PeakWorkingSetKiB(started.process.get()));
    return cpuAtStart >= 0 && cpuBeforeEnd >= 0;
}

struct ImageFacts {
    bool ok = false;
    std::uint64_t size = 0;
    WORD characteristics = 0;
    std::vector<std::string> imports;
    bool importsOnlySystem = true;
};

std::vector<unsigned char> ReadWholeFile(const std::wstring& path) {
    const Handle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file.valid() || !::GetFileSizeEx(file.get(), &size)) {
        return {};
    }
    std::vector<unsigned char> bytes(static_cast<std::size_t>(size.QuadPart));
    DWORD read = 0;
    if (!::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
        read != bytes.size()) {
        return {};
    }
    return bytes;
}

// Reads the PE headers and the import directory of a 64-bit executable.
ImageFacts InspectImage(const std::wstring& path) {
    ImageFacts facts;
    const std::vector<unsigned char> bytes = ReadWholeFile(path);
    facts.size = bytes.size();
    const auto fits = [&](std::size_t offset, std::size_t length) {
        return offset <= bytes.size() && length <= bytes.size() - offset;
    };
    IMAGE_DOS_HEADER dos;
    if (!fits(0, sizeof dos)) {
        return facts;
    }
    std::memcpy(&dos, bytes.data(), sizeof dos);
    IMAGE_NT_HEADERS64 nt;
    const std::size_t ntAt = static_cast<std::size_t>(dos.e_lfanew);
    if (dos.e_magic != IMAGE_DOS_SIGNATURE || !fits(ntAt, sizeof nt)) {
        return facts;
    }
    std::memcpy(&nt, bytes.data() + ntAt, sizeof nt);
    if (nt.Signature != IMAGE_NT_SIGNATURE ||
        nt.OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
        return facts;
    }
    facts.characteristics = nt.OptionalHeader.DllCharacteristics;

    const std::size_t sectionsAt =
        ntAt + offsetof(IMAGE_NT_HEADERS64, OptionalHeader) + nt.FileHeader.SizeOfOptionalHeader;
    std::vector<IMAGE_SECTION_HEADER> sections(nt.FileHeader.NumberOfSections);
    if (!fits(sectionsAt, sections.size() * sizeof(IMAGE_SECTION_HEADER))) {
        return facts;
    }
    std::memcpy(sections.data(), bytes.data() + sectionsAt,
                sections.size() * sizeof(IMAGE_SECTION_HEADER));
    const auto fileOffset = [&](DWORD rva) -> std::size_t {
        for (const IMAGE_SECTION_HEADER& section : sections) {
            const DWORD extent = std::max(section.Misc.VirtualSize, section.SizeOfRawData);
            if (rva >= section.VirtualAddress && rva < section.VirtualAddress + extent) {
                return rva - section.VirtualAddress + section.PointerToRawData;
            }
        }
        return static_cast<std::size_t>(-1);
    };

    const IMAGE_DATA_DIRECTORY directory =
        nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    const std::wstring system = SystemDirectory();
    for (std::size_t at = fileOffset(directory.VirtualAddress);;
         at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        IMAGE_IMPORT_DESCRIPTOR descriptor;
        if (directory.VirtualAddress == 0 || !fits(at, sizeof descriptor)) {
            break;
        }
        std::memcpy(&descriptor, bytes.data() + at, sizeof descriptor);
        if (descriptor.Name == 0) {
            break;
        }
        const std::size_t nameAt = fileOffset(descriptor.Name);
        std::string name;
        while (fits(nameAt + name.size(), 1) && bytes[nameAt + name.size()] != 0) {
            name += static_cast<char>(bytes[nameAt + name.size()]);
        }
        facts.imports.push_back(name);
        const std::wstring wide(name.begin(), name.end());
        if (::GetFileAttributesW((system + L"\\" + wide).c_str()) == INVALID_FILE_ATTRIBUTES) {
            facts.importsOnlySystem = false;
        }
    }
    facts.ok = true;
    return facts;
}

const char* Mark(bool passed) {
    return passed ? "met" : "**missed**";
}

struct Options {
    std::wstring vantrel, floor, probe, image, other;
    int rounds = 40;
    int warmup = 3;
    DWORD pauseMs = 150;
    int waits = 3;
};

bool ReadOptions(int argc, wchar_t** argv, Options& options) {
    std::vector<std::wstring> positional;
    for (int i = 1; i < argc; ++i) {
        const std::wstring argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument == L"--rounds" && hasValue) {
            options.rounds = std::max(1, _wtoi(argv[++i]));
        } else if (argument == L"--warmup" && hasValue) {
            options.warmup = std::max(0, _wtoi(argv[++i]));
        } else if (argument == L"--pause" && hasValue) {
            options.pauseMs = static_cast<DWORD>(std::max(0, _wtoi(argv[++i])));
        } else if (argument == L"--waits" && hasValue) {
            options.waits = std::max(0, _wtoi(argv[++i]));
        } else if (argument == L"--image" && hasValue) {
            options.image = argv[++i];
        } else if (argument == L"--other" && hasValue) {
            options.other = argv[++i];
        } else {
            positional.push_back(argument);
        }
    }
    if (positional.size() != 3) {
        return false;
    }
    options.vantrel = positional[0];
    options.floor = positional[1];
    options.probe = positional[2];
    if (options.image.empty()) {
        options.image = options.vantrel;
    }
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Options options;
    if (!ReadOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: vantrel_bench <vantrel.exe> <floor.exe> <probe.exe> [--rounds N] "
                     "[--warmup N] [--pause MS] [--waits N] [--image FILE] [--other FILE]\n");
        return 2;
    }
    ::SetEnvironmentVariableW(L"VANTREL_PROBE_SLEEP_MS", nullptr);
    ::SetEnvironmentVariableW(L"VANTREL_PROBE_EXIT", nullptr);
    ::SetEnvironmentVariableW(L"VANTREL_PROBE_RECORD", nullptr);
    ::SetEnvironmentVariableW(L"VANTREL_PROBE_DONE", nullptr);

    const std::wstring system = SystemDirectory();
    const std::wstring probe = options.probe;
    // Peers take the path unquoted when they can, as a user would type it.
    const std::wstring plainProbe = probe.find(L' ') == std::wstring::npos ? probe : Quoted(probe);
    const std::wstring vantrelArguments = L" /w /p:3 " + Quoted(probe);
    std::vector<Launcher> launchers;
    launchers.push_back(MakeLauncher("probe, started directly", probe, Quoted(probe), true));
    launchers.push_back(MakeLauncher("floor (minimal C launcher)", options.floor,
                                     Quoted(options.floor) + L" " + probe, true));
    launchers.push_back(MakeLauncher("vantrel.exe /w /p:3", options.vantrel,
                                     Quoted(options.vantrel) + vantrelArguments, true));
    launchers.push_back(MakeLauncher("start.exe /wait /normal", system + L"\\start.exe",
                                     L"start.exe /wait /normal " + plainProbe, false));
    launchers.push_back(MakeLauncher("cmd.exe /c start \"\" /wait /normal", system + L"\\cmd.exe",
                                     L"cmd.exe /c start \"\" /wait /normal " + plainProbe, false));
    constexpr std::size_t kFloor = 1;
    constexpr std::size_t kVantrel = 2;
    constexpr std::size_t kStart = 3;
    constexpr std::size_t kCmd = 4;
    if (!options.other.empty()) {
        launchers.push_back(MakeLauncher("other build: vantrel.exe /w /p:3", options.other,
                                         Quoted(options.other) + vantrelArguments, true));
    }

    std::fprintf(stderr, "launch and wait: %d warm-up and %d timed rounds\n", options.warmup,
                 options.rounds);
    std::vector<std::vector<double>> ratios(launchers.size());
    for (int round = -options.warmup; round < options.rounds; ++round) {
        // Each round starts with another launcher, so that none always follows the same one.
        std::vector<double> times(launchers.size(), -1);
        for (std::size_t step = 0; step < launchers.size(); ++step) {
            const std::size_t index =
                (step + static_cast<std::size_t>(round + options.warmup)) % launchers.size();
            ::Sleep(options.pauseMs);
            times[index] = TimeOneLaunch(launchers[index]);
        }
        if (round < 0) {
            continue;
        }
        for (std::size_t index = 0; index < launchers.size(); ++index) {
            if (times[index] < 0) {
                ++launchers[index].failures;
                continue;
            }
            launchers[index].times.push_back(times[index]);
            if (times[kFloor] > 0) {
                ratios[index].push_back(times[index] / times[kFloor]);
            }
        }
    }

    std::printf("## Launch and wait\n\n");
    std::printf(
        "A probe that exits at once, launched and waited for %d times through each launcher, "
        "in interleaved rounds (after %d warm-up rounds; the first launcher changes each round), "
        "with a pause of %lu ms before each timed launch. Times in milliseconds, from the "
        "creation of the launcher to its end as seen by the driver.\n\n",
        options.rounds, options.warmup, options.pauseMs);
    std::printf(
        "| launcher | median | min | max | median / floor's median | median of per-round "
        "ratios to the floor |\n|---|---:|---:|---:|---:|---:|\n");
    const double floorMedian = Median(launchers[kFloor].times);
    for (std::size_t index = 0; index < launchers.size(); ++index) {
        const Launcher& launcher = launchers[index];
        if (launcher.times.empty()) {
            std::printf("| %s | failed | | | | |\n", launcher.name.c_str());
            continue;
        }
        const auto [low, high] = std::minmax_element(launcher.times.begin(), launcher.times.end());
        std::printf("| %s | %.1f | %.1f | %.1f | %.3f | %.3f |\n", launcher.name.c_str(),
                    Median(launcher.times), *low, *high,
                    floorMedian > 0 ? Median(launcher.times) / floorMedian : 0,
                    Median(ratios[index]));
    }
    for (const Launcher& launcher : launchers) {
        if (launcher.failures > 0) {
            std::printf("\n%s failed %d times (not counted).\n", launcher.name.c_str(),
                        launcher.failures);
        }
    }

    std::fprintf(stderr, "waiting: %d runs each of a 5 s probe\n", options.waits);
    constexpr DWORD kSleepMs = 5000;
    std::vector<WaitFigures> waits[2];
    const std::size_t profiled[2] = {kVantrel, kFloor};
    for (int run = 0; run < options.waits; ++run) {
        for (int which = 0; which < 2; ++which) {
            ::Sleep(options.pauseMs);
            WaitFigures figures;
            if (ProfileWait(launchers[profiled[which]], kSleepMs, figures)) {
                waits[which].push_back(figures);
            }
        }
    }
    const auto medianOf = [](const std::vector<WaitFigures>& runs, auto field) {
        std::vector<double> values;
        for (const WaitFigures& figures : runs) {
            values.push_back(static_cast<double>(figures.*field));
        }
        return Median(values);
    };
    const auto maxOf = [](const std::vector<WaitFigures>& runs, auto field) {
        double most = 0;
        for (const WaitFigures& figures : runs) {
            most = std::max(most, static_cast<double>(figures.*field));
        }
        return most;
    };
    std::printf("\n## While waiting\n\n");
    std::printf(
        "The launcher waits (`/w` for vantrel.exe) on a probe that sleeps %lu ms; %d runs each, "
        "medians (maximum in brackets). CPU time is kernel plus user time, taken when the probe "
        "is seen to start and again shortly before it ends, %s. The end is seen by this driver "
        "waiting on both processes. Peak working set from `GetProcessMemoryInfo`.\n\n",
        kSleepMs, options.waits,
        UnderWine() ? "summed over the process's threads from Linux's own account "
                      "(`/proc/<pid>/task/*/schedstat`, in nanoseconds, read through drive Z:; "
                      "Wine answers `GetProcessTimes` about another process with the caller's "
                      "own times, and its thread times come in steps of 10 ms)"
                    : "from `GetProcessTimes`");
    std::printf("| | vantrel.exe | floor |\n|---|---:|---:|\n");
    const char* rows[] = {"CPU time while waiting (ms)", "length of that stretch (ms)",
                          "CPU time from its start to shortly before the probe's end (ms)",
                          "end seen after the probe's end (ms)", "peak working set (KiB)"};
    double WaitFigures::*fields[] = {&WaitFigures::cpuWaitingMs, &WaitFigures::windowMs,
                                     &WaitFigures::cpuTotalMs, &WaitFigures::endLatencyMs};
    for (std::size_t row = 0; row < 5; ++row) {
        std::printf("| %s |", rows[row]);
        for (int which = 0; which < 2; ++which) {
            if (waits[which].empty()) {
                std::printf(" failed |");
            } else if (row < 4) {
                std::printf(" %.1f (%.1f) |", medianOf(waits[which], fields[row]),
                            maxOf(waits[which], fields[row]));
            } else {
                std::printf(" %.0f (%.0f) |", medianOf(waits[which], &WaitFigures::peakKiB),
                            maxOf(waits[which], &WaitFigures::peakKiB));
            }
        }
        std::printf("\n");
    }

    const ImageFacts image = InspectImage(options.image);
    std::string imports;
    for (const std::string& name : image.imports) {
        imports += (imports.empty() ? "" : ", ") + name;
    }
    const bool aslr = (image.characteristics & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE) != 0;
    const bool highEntropy =
        (image.characteristics & IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA) != 0;
    const bool dep = (image.characteristics & IMAGE_DLLCHARACTERISTICS_NX_COMPAT) != 0;
    std::printf("\n## The executable\n\n");
    std::printf(
        "| file | size (bytes) | imports | all in the system directory | ASLR | "
        "high-entropy ASLR | DEP |\n|---|---:|---|---|---|---|---|\n");
    std::printf("| %s | %llu | %s | %s | %s | %s | %s |\n", Utf8(FileName(options.image)).c_str(),
                static_cast<unsigned long long>(image.size), imports.c_str(),
                image.importsOnlySystem ? "yes" : "no", aslr ? "on" : "off",
                highEntropy ? "on" : "off", dep ? "on" : "off");

    const Launcher& vantrel = launchers[kVantrel];
    const double vantrelMedian = Median(vantrel.times);
    const bool timed = !vantrel.times.empty() && floorMedian > 0;
    const bool waited = !waits[0].empty();
    std::printf("\n## Goals\n\n| goal | figure | |\n|---|---|---|\n");
    std::printf("| launch and wait within 1.10 times the floor | %.3f (per-round %.3f) | %s |\n",
                timed ? vantrelMedian / floorMedian : 0, Median(ratios[kVantrel]),
                Mark(timed && vantrelMedian <= 1.10 * floorMedian));
    for (const std::size_t peer : {kStart, kCmd}) {
        const double peerMedian = Median(launchers[peer].times);
        std::printf("| below %s | %.1f ms against %.1f ms | %s |\n", launchers[peer].name.c_str(),
                    vantrelMedian, peerMedian,
                    Mark(timed && !launchers[peer].times.empty() && vantrelMedian < peerMedian));
    }
    const double cpu = waited ? maxOf(waits[0], &WaitFigures::cpuWaitingMs) : -1;
    std::printf("| under 10 ms of CPU time while waiting | %.1f ms (worst run) | %s |\n", cpu,
                Mark(waited && cpu < 10));
    const double latency = waited ? maxOf(waits[0], &WaitFigures::endLatencyMs) : -1;
    std::printf("| end of the waited program seen within 20 ms | %.1f ms (worst run) | %s |\n",
                latency, Mark(waited && latency <= 20));
    std::printf("| stripped executable under 128 KiB | %llu bytes | %s |\n",
                static_cast<unsigned long long>(image.size),
                Mark(image.ok && image.size < 128 * 1024));
    std::printf("| only Windows system DLLs imported | %s | %s |\n", imports.c_str(),
                Mark(image.ok && image.importsOnlySystem));
    std::printf("| ASLR, high-entropy ASLR and DEP on | DllCharacteristics 0x%04X | %s |\n",
                image.characteristics, Mark(image.ok && aslr && highEntropy && dep));
    return timed && waited && image.ok ? 0 : 1;
}
