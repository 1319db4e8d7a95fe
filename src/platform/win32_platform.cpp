#include "platform/win32_platform.h"

#include "platform/command_text.h"
#include "platform/unique_handle.h"

#include <windows.h>

namespace modVantrel {
namespace {

constexpr const wchar_t* kCaption = L"vantrel";

// The error of the call that just failed; never 0, so that a failure is never taken for success.
std::uint32_t LastError() {
    const DWORD error = ::GetLastError();
    return error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE;
}

std::uint32_t ErrorUnless(BOOL ok) {
    return ok ? 0 : LastError();
}

bool IsOrdinaryFile(const WIN32_FIND_DATAW& data) {
    constexpr DWORD kSkipped =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    return (data.dwFileAttributes & kSkipped) == 0;
}

// The portable code's copies of the Windows values.
static_assert(kStartfUseShowWindow == STARTF_USESHOWWINDOW);
static_assert(kCreateSuspended == CREATE_SUSPENDED);
static_assert(kInfinite == INFINITE);
static_assert(kWaitTimeout == WAIT_TIMEOUT);
static_assert(kJobNewProcess == JOB_OBJECT_MSG_NEW_PROCESS);
static_assert(kJobActiveProcessZero == JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO);

}  // namespace

std::wstring Win32Platform::CommandText() {
    return std::wstring(ArgumentText(::GetCommandLineW()));
}

std::int32_t Win32Platform::ShowCommand() {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    ::GetStartupInfoW(&startup);
    return (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : kNoShowWindow;
}

void Win32Platform::ShowMessage(const std::wstring& text) {
    ::MessageBoxW(nullptr, text.c_str(), kCaption, MB_OK | MB_SETFOREGROUND);
}

std::wstring Win32Platform::LookupFile(const std::wstring& pattern) {
    WIN32_FIND_DATAW data{};
    const SearchHandle find(::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data,
                                               FindExSearchNameMatch, nullptr, 0));
    if (!find.valid()) {
        return {};  // nothing found, or a name the file system rejects
    }
    do {
        if (IsOrdinaryFile(data)) {
            return data.cFileName;
        }
    } while (::FindNextFileW(find.get(), &data) != FALSE);
    return {};
}

void Win32Platform::PumpMessages() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

void Win32Platform::SetBusyPointer(bool busy) {
    ::SetCursor(::LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}

void Win32Platform::Fatal(FatalKind kind) {
    const bool overflow = kind == FatalKind::Overflow;
    ::MessageBoxW(nullptr, overflow ? L"Overflow." : L"Out of memory.", kCaption,
                  MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
    ::ExitProcess(overflow ? ERROR_ARITHMETIC_OVERFLOW : ERROR_NOT_ENOUGH_MEMORY);
}

bool Win32Platform::StartProcess(ProcessCreation& creation, ProcessInformation& info,
                                 std::uint32_t& error) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = creation.startup.flags;
    startup.wShowWindow = static_cast<WORD>(creation.startup.showWindow);
    PROCESS_INFORMATION created{};
    // The command line buffer must be writable: creation may change it in place.
    const BOOL ok = ::CreateProcessW(creation.applicationName.c_str(), creation.commandLine.data(),
                                     nullptr, nullptr, creation.inheritHandles ? TRUE : FALSE,
                                     creation.creationFlags, nullptr, nullptr, &startup, &created);
    if (!ok) {
        error = ::GetLastError();
        return false;
    }
    info.process = created.hProcess;
    info.thread = created.hThread;
    info.processId = created.dwProcessId;
    info.threadId = created.dwThreadId;
    return true;
}

std::uint32_t Win32Platform::WaitForProcess(Handle process, std::uint32_t milliseconds) {
    return ::WaitForSingleObject(process, milliseconds);
}

void Win32Platform::WaitForInputIdle(Handle process) {
    ::WaitForInputIdle(process, INFINITE);
}

std::uint32_t Win32Platform::ExitCodeOf(Handle process) {
    DWORD code = 0;
    return ::GetExitCodeProcess(process, &code) ? code : ::GetLastError();
}

void Win32Platform::CloseHandle(Handle handle) {
    ::CloseHandle(handle);
}

std::uint64_t Win32Platform::SystemAffinityMask() {
    DWORD_PTR own = 0;
    DWORD_PTR system = 0;
    return ::GetProcessAffinityMask(::GetCurrentProcess(), &own, &system) ? system : 0;
}

std::uint32_t Win32Platform::SetAffinity(Handle process, std::uint64_t mask) {
    return ErrorUnless(::SetProcessAffinityMask(process, static_cast<DWORD_PTR>(mask)));
}

std::uint32_t Win32Platform::SetPriority(Handle process, std::uint32_t priorityClass) {
    return ErrorUnless(::SetPriorityClass(process, priorityClass));
}

bool Win32Platform::SetEfficiencyMode(Handle process) {
    // Found at run time: Windows 7 has no SetProcessInformation, and Vantrel still runs there.
    using SetInformation = BOOL(WINAPI*)(HANDLE, PROCESS_INFORMATION_CLASS, LPVOID, DWORD);
    const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    const FARPROC found =
        kernel != nullptr ? ::GetProcAddress(kernel, "SetProcessInformation") : nullptr;
    if (found == nullptr) {
        return false;
    }
    // Through the generic function type, which GCC lets convert to any other without a warning.
    const auto setInformation =
        reinterpret_cast<SetInformation>(reinterpret_cast<void (*)()>(found));
    PROCESS_POWER_THROTTLING_STATE state{};
    state.Version = PROCESS_POWER_THROTTLING_CURRENT_VERSION;
    state.ControlMask = PROCESS_POWER_THROTTLING_EXECUTION_SPEED;
    state.StateMask = PROCESS_POWER_THROTTLING_EXECUTION_SPEED;
    return setInformation(process, ProcessPowerThrottling, &state, sizeof state) != FALSE;
}

std::uint32_t Win32Platform::ResumeThread(Handle thread) {
    return ::ResumeThread(thread) != static_cast<DWORD>(-1) ? 0 : LastError();
}

void Win32Platform::TerminateProcess(Handle process, std::uint32_t exitCode) {
    ::TerminateProcess(process, exitCode);
}

std::uint32_t Win32Platform::CreateTreeJob(Handle& job, Handle& port) {
    KernelHandle newJob(::CreateJobObjectW(nullptr, nullptr));
    if (!newJob.valid()) {
        return LastError();
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags =
        JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_BREAKAWAY_OK;
    if (!::SetInformationJobObject(newJob.get(), JobObjectExtendedLimitInformation, &limits,
                                   sizeof limits)) {
        return LastError();
    }
    KernelHandle newPort(::CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1));
    if (!newPort.valid()) {
        return LastError();
    }
    JOBOBJECT_ASSOCIATE_COMPLETION_PORT association{};
    association.CompletionKey = newJob.get();
    association.CompletionPort = newPort.get();
    if (!::SetInformationJobObject(newJob.get(), JobObjectAssociateCompletionPortInformation,
                                   &association, sizeof association)) {
        return LastError();
    }
    job = newJob.Release();
    port = newPort.Release();
    return 0;
}

std::uint32_t Win32Platform::AssignToJob(Handle job, Handle process) {
    return ErrorUnless(::AssignProcessToJobObject(job, process));
}

std::uint32_t Win32Platform::WaitForJobMessage(Handle port, std::uint32_t milliseconds,
                                               JobMessage& message) {
    DWORD id = 0;
    ULONG_PTR key = 0;
    LPOVERLAPPED detail = nullptr;
    if (!::GetQueuedCompletionStatus(port, &id, &key, &detail, milliseconds)) {
        const std::uint32_t error = LastError();  // WAIT_TIMEOUT when nothing came in time
        if (error != WAIT_TIMEOUT) {
            ::Sleep(milliseconds);  // a port that keeps failing must not turn the wait into a spin
        }
        return error;
    }
    message.id = id;
    // Job messages carry the process id where an overlapped record would be.
    message.processId = static_cast<std::uint32_t>(reinterpret_cast<ULONG_PTR>(detail));
    return 0;
}

bool Win32Platform::JobIsEmpty(Handle job) {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
    return ::QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &accounting,
                                       sizeof accounting, nullptr) != FALSE &&
           accounting.ActiveProcesses == 0;
}

Handle Win32Platform::OpenProcessForSettings(std::uint32_t processId) {
    // Wine answers IsProcessInJob only for a handle with full query rights.
    return ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_SET_INFORMATION, FALSE, processId);
}

bool Win32Platform::IsProcessInJob(Handle process, Handle job) {
    BOOL member = FALSE;
    return ::IsProcessInJob(process, job, &member) != FALSE && member != FALSE;
}

}  // namespace modVantrel
