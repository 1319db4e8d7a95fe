// The Win32 platform layer in-process, under a real Windows API (Wine): the launcher leaves no
// process or thread handle open, and the file lookup finds only ordinary files.
//   vantrel_platform_test [probe.exe]   (default: vantrel_probe.exe beside this program)
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "harness.h"
#include "launch/launcher.h"
#include "platform/console_platform.h"

namespace fs = std::filesystem;
using modVantrel::Handle;
using modVantrel::LaunchOutcome;
using modVantrel::ProcessInformation;

namespace {

// The real platform, remembering the handles that process creation and the job handed out, and
// how a program it ended did end.
class CreationSpy final : public modVantrel::ConsolePlatform {
  public:
    bool StartProcess(modVantrel::ProcessCreation& creation, ProcessInformation& info,
                      std::uint32_t& error) override {
        const bool started = Win32Platform::StartProcess(creation, info, error);
        created = info;
        return started;
    }
    std::uint32_t CreateTreeJob(const modVantrel::JobLimits& limits, Handle& job,
                                Handle& port) override {
        const std::uint32_t error = Win32Platform::CreateTreeJob(limits, job, port);
        tree = {job, port};
        return error;
    }
    void TerminateProcess(Handle process, std::uint32_t exitCode) override {
        Win32Platform::TerminateProcess(process, exitCode);
        DWORD code = 0;
        ended = ::WaitForSingleObject(process, 5000) == WAIT_OBJECT_0 &&
                ::GetExitCodeProcess(process, &code) && code == exitCode;
    }

    ProcessInformation created;
    std::pair<Handle, Handle> tree{};
    bool ended = false;
};

bool IsOpen(Handle handle) {
    DWORD flags = 0;
    return handle != nullptr && ::GetHandleInformation(handle, &flags);
}

// A real handle to give the launcher in its record, as a caller's leftover would be.
Handle Duplicate(HANDLE pseudo) {
    HANDLE copy = nullptr;
    ::DuplicateHandle(::GetCurrentProcess(), pseudo, ::GetCurrentProcess(), &copy, 0, FALSE,
                      DUPLICATE_SAME_ACCESS);
    return copy;
}

struct LaunchRow {
    const wchar_t* name;
    const wchar_t* program;  // below the work folder
    std::int16_t waitMode;
    bool created;    // whether creation succeeds
    bool prefilled;  // whether the record holds open handles before the call
    modVantrel::ProcessControls controls{};  // affinityMask ~0: processors the system lacks
};

const LaunchRow kLaunchRows[] = {
    {L"launch without waiting closes both handles", L"probe.exe", modVantrel::kWaitNone, true,
     false},
    {L"launch with polling closes both handles", L"probe.exe", modVantrel::kWaitPolling, true,
     false},
    {L"launch waiting until the end closes both handles", L"probe.exe",
     modVantrel::kWaitIdleThenEnd, true, false},
    {L"failed launch (missing file) closes the handles given", L"missing.exe",
     modVantrel::kWaitPolling, false, true},
    {L"failed launch (not a program) closes the handles given", L"text.exe", modVantrel::kWaitNone,
     false, true},
    {L"tree launch closes the job and port too",
     L"probe.exe",
     modVantrel::kWaitNone,
     true,
     false,
     {1, true, true}},
    {L"failed set-up ends the program with its error and closes every handle",
     L"probe.exe",
     modVantrel::kWaitPolling,
     false,
     false,
     {~std::uint64_t{0}, false, true}},
};

void RunLaunchRow(const LaunchRow& row, const fs::path& work, e2e::Suite& suite) {
    e2e::Checks checks;
    CreationSpy platform;
    ProcessInformation info;
    if (row.prefilled) {
        info.process = Duplicate(::GetCurrentProcess());
        info.thread = Duplicate(::GetCurrentThread());
        checks.Expect(IsOpen(info.process) && IsOpen(info.thread), L"setup: no handles to give");
    }
    const ProcessInformation given = info;
    const std::wstring program = (work / row.program).wstring();
    modVantrel::ProcessControls controls = row.controls;
    if (controls.affinityMask == ~std::uint64_t{0}) {
        controls.affinityMask = ~platform.SystemAffinityMask();
    }
    const bool setUpFails = row.controls.Any() && !row.created;
    const LaunchOutcome outcome = modVantrel::LaunchProgram(
        platform,
        {program, L"-x", 0x20, row.waitMode, modVantrel::kNoShowWindow, false, 50, controls}, info);

    checks.Expect((outcome.created != 0) == row.created,
                  L"created " + std::to_wstring(outcome.created) + L", error " +
                      std::to_wstring(outcome.error));
    const ProcessInformation& handles = row.created || setUpFails ? platform.created : given;
    checks.Expect(handles.process != nullptr && handles.thread != nullptr,
                  L"no handles to look at");
    checks.Expect(!IsOpen(handles.process), L"process handle still open");
    checks.Expect(!IsOpen(handles.thread), L"thread handle still open");
    if (row.created && (row.waitMode != modVantrel::kWaitNone || row.controls.tree)) {
        checks.Expect(outcome.exitCode == 7, L"exit code " + std::to_wstring(outcome.exitCode));
    }
    if (row.controls.tree && row.created) {
        checks.Expect(platform.tree.first != nullptr && !IsOpen(platform.tree.first) &&
                          platform.tree.second != nullptr && !IsOpen(platform.tree.second),
                      L"job or port not made, or still open");
    }
    if (setUpFails) {
        checks.Expect(outcome.error != 0 && platform.ended,
                      L"not ended with the set-up's error " + std::to_wstring(outcome.error));
    }
    suite.Report(row.name, checks);
}

// Wine starts "runas" as a plain launch; the launches above must not have loaded shell32. A parent
// opened for waiting answers "time-out" while it runs, and that it has ended once it has.
void RunElevatedStartAndParent(const fs::path& work, e2e::Suite& suite) {
    e2e::Checks checks;
    checks.Expect(::GetModuleHandleW(L"shell32.dll") == nullptr, L"shell32 loaded before");
    modVantrel::ConsolePlatform platform;
    Handle process = nullptr;
    checks.Expect(platform.StartElevated({(work / L"probe.exe").wstring(), L"", work.wstring()},
                                         process) == 0 &&
                      ::WaitForSingleObject(process, 10000) == WAIT_OBJECT_0 &&
                      platform.ExitCodeOf(process) == 7,
                  L"no process, or no exit code 7 seen");
    checks.Expect(platform.AllowAdministratorsToWait() == 0, L"administrators' entry refused");
    const Handle running = platform.OpenParent(::GetCurrentProcessId());
    const Handle ended = platform.OpenParent(::GetProcessId(process));
    checks.Expect(platform.WaitForProcess(running, 0) == modVantrel::kWaitTimeout &&
                      platform.WaitForProcess(ended, 0) == WAIT_OBJECT_0,
                  L"a parent's state misread");
    const std::uint64_t start = platform.StartTimeOf(running);
    checks.Expect(
        start != 0 && start == platform.StartTimeOf(nullptr) && platform.StartTimeOf(ended) > start,
        L"a parent's start misread: " + std::to_wstring(start));
    for (const Handle handle : {process, running, ended}) {
        ::CloseHandle(handle);
    }
    suite.Report(
        L"starting elevated gives a process to wait for; a parent's state and start read true",
        checks);
}

struct LookupRow {
    const wchar_t* pattern;  // relative ones are taken from the work folder
    const wchar_t* found;
};

const LookupRow kLookupRows[] = {
    {L"plain.exe", L"plain.exe"},
    {L"PLAIN.EXE", L"plain.exe"},
    {L"hidden.exe", L""},
    {L"system.exe", L""},
    {L"folder.exe", L""},
    {L"missing.exe", L""},
    {L"nowhere\\plain.exe", L""},
    {L"*.exe", L"plain.exe"},  // matches hidden, system and the folder as well
    {L"pl*", L"plain.exe"},
    {L"pl?in.exe", L"plain.exe"},
    {L"pl?.exe", L""},
    {L"?lain.ex?", L"plain.exe"},
    {L"s*.exe", L""},  // only the system file
    {L"h?dden.exe", L""},
    {L"fold*", L""},
};

void RunLookupRows(const fs::path& work, e2e::Suite& suite) {
    modVantrel::ConsolePlatform platform;
    for (const LookupRow& row : kLookupRows) {
        for (const bool absolute : {false, true}) {
            const std::wstring pattern =
                absolute ? (work / row.pattern).wstring() : std::wstring(row.pattern);
            const std::wstring found = platform.LookupFile(pattern);
            e2e::Checks checks;
            checks.Expect(found == row.found, L"found \"" + e2e::Visible(found) + L"\"");
            const std::wstring shown = (absolute ? L"<work>\\" : L"") + std::wstring(row.pattern);
            suite.Report(L"lookup " + shown + L" -> \"" + row.found + L"\"", checks);
        }
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const fs::path probe = argc > 1 ? fs::path(argv[1]) : e2e::Beside(L"vantrel_probe.exe");
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const fs::path work =
        fs::path(temp) / (L"vantrel-platform-" + std::to_wstring(::GetCurrentProcessId()));
    fs::remove_all(work);
    fs::create_directories(work / L"folder.exe");
    fs::copy_file(probe, work / L"probe.exe");
    std::ofstream(work / L"text.exe") << "This is not a program.\r\n";
    for (const wchar_t* name : {L"plain.exe", L"hidden.exe", L"system.exe"}) {
        std::ofstream(work / name) << "x";
    }
    ::SetFileAttributesW((work / L"hidden.exe").c_str(), FILE_ATTRIBUTE_HIDDEN);
    ::SetFileAttributesW((work / L"system.exe").c_str(), FILE_ATTRIBUTE_SYSTEM);
    ::SetEnvironmentVariableW(L"VANTREL_PROBE_EXIT", L"7");
    ::SetEnvironmentVariableW(L"VANTREL_PROBE_SLEEP_MS", L"200");
    ::SetCurrentDirectoryW(work.c_str());

    e2e::Suite suite;
    e2e::Checks setup;
    setup.Expect(::GetFileAttributesW(L"hidden.exe") & FILE_ATTRIBUTE_HIDDEN,
                 L"hidden attribute not kept");
    setup.Expect(::GetFileAttributesW(L"system.exe") & FILE_ATTRIBUTE_SYSTEM,
                 L"system attribute not kept");
    suite.Report(L"setup: attributes kept", setup);
    for (const LaunchRow& row : kLaunchRows) {
        RunLaunchRow(row, work, suite);
    }
    RunElevatedStartAndParent(work, suite);
    RunLookupRows(work, suite);

    ::SetCurrentDirectoryW(temp);
    ::Sleep(300);  // the probe started without a wait ends before its folder goes
    std::error_code ignored;
    fs::remove_all(work, ignored);
    return suite.Finish();
}
