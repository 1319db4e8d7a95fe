#include "platform/win32_platform.h"

#include <windows.h>
// After windows.h: for Windows 7 and later it names the memory query that kernel32 exports, so
// that no psapi.dll is imported.
#include <psapi.h>

#include <algorithm>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "command/mod_vantrel.h"
#include "platform/command_text.h"
#include "platform/unique_handle.h"

namespace modVantrel {
namespace {

// Inheritable copies of the handles a program is to inherit, and the attribute list that lets it
// inherit those and no others; both go when the creation is over.
class InheritedHandles {
  public:
    InheritedHandles() = default;
    ~InheritedHandles() {
        if (!storage_.empty()) {
            ::DeleteProcThreadAttributeList(attributes());
        }
        for (const HANDLE copy : listed_) {
            ::CloseHandle(copy);
        }
    }
    InheritedHandles(const InheritedHandles&) = delete;
    InheritedHandles& operator=(const InheritedHandles&) = delete;

    // 0, or the error of the step that failed. Windows 7's console handles are not kernel handles
    // (their two low bits are set) and cannot stand in the list: they are passed as they are, and
    // the console gives them to a program that shares it.
    std::uint32_t Prepare(const std::vector<Handle>& handles) {
        for (const Handle handle : handles) {
            HANDLE copy = handle;
            if ((reinterpret_cast<ULONG_PTR>(handle) & 3) != 3) {
                if (!::DuplicateHandle(::GetCurrentProcess(), handle, ::GetCurrentProcess(), &copy,
                                       0, TRUE, DUPLICATE_SAME_ACCESS)) {
                    return LastError();
                }
                listed_.push_back(copy);
            }
            copies_.push_back(copy);
        }
        SIZE_T size = 0;
        ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        storage_.resize(size);
        if (!::InitializeProcThreadAttributeList(attributes(), 1, 0, &size)) {
            storage_.clear();
            return LastError();
        }
        return ErrorUnless(::UpdateProcThreadAttribute(
            attributes(), 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, listed_.data(),
            listed_.size() * sizeof(HANDLE), nullptr, nullptr));
    }

    LPPROC_THREAD_ATTRIBUTE_LIST attributes() {
        return reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
    }

    // What the program gets for `handle`, the original of the copy at the same place in
    // `handles`; null for any other.
    HANDLE CopyOf(const std::vector<Handle>& handles, Handle handle) const {
        const auto at = static_cast<std::size_t>(std::find(handles.begin(), handles.end(), handle) -
                                                 handles.begin());
        return handle != nullptr && at < copies_.size() ? copies_[at] : nullptr;
    }

  private:
    std::vector<HANDLE> copies_;  // one for each handle passed, in order
    std::vector<HANDLE> listed_;  // the inheritable copies made, which the list holds
    std::vector<unsigned char> storage_;
};

bool IsOrdinaryFile(const WIN32_FIND_DATAW& data) {
    constexpr DWORD kSkipped =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    return (data.dwFileAttributes & kSkipped) == 0;
}

// A span of time in the system's units of 100 ns.
std::uint64_t Ticks(const FILETIME& time) {
    return std::uint64_t{time.dwHighDateTime} << 32 | time.dwLowDateTime;
}

// The portable code's copies of the Windows values.
static_assert(kStartfUseShowWindow == STARTF_USESHOWWINDOW);
static_assert(kStartfUseStdHandles == STARTF_USESTDHANDLES);
static_assert(kExtendedStartupInfoPresent == EXTENDED_STARTUPINFO_PRESENT);
static_assert(kCreateNoWindow == CREATE_NO_WINDOW);
static_assert(kCreateSuspended == CREATE_SUSPENDED);
static_assert(kInfinite == INFINITE);
static_assert(kWaitTimeout == WAIT_TIMEOUT);

}  // namespace

std::uint32_t LastError() {
    const DWORD error = ::GetLastError();
    return error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE;
}

std::uint32_t ErrorUnless(int ok) {
    return ok != 0 ? 0 : LastError();
}

std::wstring Win32Platform::CommandText() {
    return std::wstring(ArgumentText(::GetCommandLineW()));
}

std::int32_t Win32Platform::ShowCommand() {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    ::GetStartupInfoW(&startup);
    return (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : kNoShowWindow;
}

void Win32Platform::WriteError(const std::wstring& text) {
    WriteTo(STD_ERROR_HANDLE, text);
}

void Win32Platform::WriteTo(std::uint32_t stream, const std::wstring& text) {
    const HANDLE handle = ::GetStdHandle(stream);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    DWORD mode = 0;
    const auto length = static_cast<int>(text.size());
    if (::GetConsoleMode(handle, &mode)) {
        ::WriteConsoleW(handle, text.data(), static_cast<DWORD>(length), &written, nullptr);
        return;
    }
    WriteUtf8(handle, text);
}

// A file or a pipe gets UTF-8, which every reader of text on Windows now takes, in one write.
void WriteUtf8(Handle file, const std::wstring& text) {
    const auto length = static_cast<int>(text.size());
    const int size =
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, bytes.data(), size, nullptr, nullptr);
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(size), &written, nullptr);
}

std::optional<std::wstring> Win32Platform::EnvironmentVariable(const std::wstring& name) {
    // The size asked for counts the terminating null; a variable that is set but empty may still
    // answer 0, which only the error tells from one that is not set.
    ::SetLastError(ERROR_SUCCESS);
    std::wstring value(::GetEnvironmentVariableW(name.c_str(), nullptr, 0), L'\0');
    if (value.empty()) {
        return ::GetLastError() == ERROR_ENVVAR_NOT_FOUND ? std::nullopt
                                                          : std::optional<std::wstring>(value);
    }
    value.resize(
        ::GetEnvironmentVariableW(name.c_str(), value.data(), static_cast<DWORD>(value.size())));
    return value;
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

std::array<StandardHandle, 3> Win32Platform::StandardHandles() {
    std::array<StandardHandle, 3> handles;
    const DWORD ids[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    for (std::size_t i = 0; i < handles.size(); ++i) {
        const HANDLE handle = ::GetStdHandle(ids[i]);
        const DWORD type = handle != INVALID_HANDLE_VALUE && handle != nullptr
                               ? ::GetFileType(handle)
                               : FILE_TYPE_UNKNOWN;
        DWORD mode = 0;
        const bool console = type == FILE_TYPE_CHAR && ::GetConsoleMode(handle, &mode) != FALSE;
        // Another device, such as NUL, is where the caller sent the stream too. Only a Vantrel
        // attached to a console can tell one from a console, which to any other process is a
        // character device as well.
        const bool redirected = type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE ||
                                (type == FILE_TYPE_CHAR && !console && SharesConsole());
        handles[i] = {redirected || console ? handle : nullptr, redirected};
    }
    return handles;
}

bool Win32Platform::StartProcess(ProcessCreation& creation, ProcessInformation& info,
                                 std::uint32_t& error) {
    const bool extended = (creation.creationFlags & EXTENDED_STARTUPINFO_PRESENT) != 0;
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = extended ? sizeof startup : sizeof startup.StartupInfo;
    startup.StartupInfo.dwFlags = creation.startup.flags;
    startup.StartupInfo.wShowWindow = static_cast<WORD>(creation.startup.showWindow);
    InheritedHandles inherited;
    if (extended) {
        error = inherited.Prepare(creation.inheritedHandles);
        if (error != 0) {
            return false;
        }
        startup.lpAttributeList = inherited.attributes();
    }
    HANDLE* const standard[] = {&startup.StartupInfo.hStdInput, &startup.StartupInfo.hStdOutput,
                                &startup.StartupInfo.hStdError};
    for (std::size_t i = 0; i < creation.startup.standardHandles.size(); ++i) {
        *standard[i] =
            inherited.CopyOf(creation.inheritedHandles, creation.startup.standardHandles[i]);
    }
    PROCESS_INFORMATION created{};
    // The command line buffer must be writable: creation may change it in place.
    const BOOL ok =
        ::CreateProcessW(creation.applicationName.c_str(), creation.commandLine.data(), nullptr,
                         nullptr, creation.inheritHandles ? TRUE : FALSE, creation.creationFlags,
                         nullptr, nullptr, &startup.StartupInfo, &created);
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

const wchar_t* Win32Platform::FatalText(FatalKind kind) {
    return kind == FatalKind::Overflow ? L"Overflow." : L"Out of memory.";
}

unsigned Win32Platform::FatalStatus(FatalKind kind) {
    return kind == FatalKind::Overflow ? ERROR_ARITHMETIC_OVERFLOW : ERROR_NOT_ENOUGH_MEMORY;
}

int RunReportingFatal(Platform& platform) {
    int status = 0;
    try {
        status = Main(platform);
    } catch (const std::bad_alloc&) {
        platform.Fatal(FatalKind::OutOfMemory);
    }
    return status;
}

std::uint32_t Win32Platform::WaitForProcess(Handle process, std::uint32_t milliseconds) {
    return ::WaitForSingleObject(process, milliseconds);
}

std::uint32_t Win32Platform::ExitCodeOf(Handle process) {
    DWORD code = 0;
    return ::GetExitCodeProcess(process, &code) ? code : ::GetLastError();
}

RunCost Win32Platform::ProcessCost(Handle process) {
    RunCost cost;
    cost.processes = 1;
    FILETIME created{};
    FILETIME exited{};
    FILETIME kernel{};
    FILETIME user{};
    if (::GetProcessTimes(process, &created, &exited, &kernel, &user)) {
        cost.userTime = Ticks(user);
        cost.kernelTime = Ticks(kernel);
    }
    PROCESS_MEMORY_COUNTERS memory{};
    if (::GetProcessMemoryInfo(process, &memory, sizeof memory)) {
        cost.peakCommit = memory.PeakPagefileUsage;  // the peak of its private committed memory
    }
    IO_COUNTERS io{};
    if (::GetProcessIoCounters(process, &io)) {
        cost.bytesRead = io.ReadTransferCount;
        cost.bytesWritten = io.WriteTransferCount;
    }
    return cost;
}

void Win32Platform::CloseHandle(Handle handle) {
    ::CloseHandle(handle);
}

std::uint64_t Win32Platform::MonotonicMicroseconds() {
    // The counter never fails on Windows XP and later; its frequency is fixed at boot.
    LARGE_INTEGER count{};
    LARGE_INTEGER frequency{};
    ::QueryPerformanceCounter(&count);
    ::QueryPerformanceFrequency(&frequency);
    const auto ticks = static_cast<std::uint64_t>(count.QuadPart);
    const auto perSecond = static_cast<std::uint64_t>(frequency.QuadPart);
    return ticks / perSecond * 1000000 + ticks % perSecond * 1000000 / perSecond;
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

std::uint32_t Win32Platform::ResumeThread(Handle thread) {
    return ::ResumeThread(thread) != static_cast<DWORD>(-1) ? 0 : LastError();
}

void Win32Platform::TerminateProcess(Handle process, std::uint32_t exitCode) {
    ::TerminateProcess(process, exitCode);
}

}  // namespace modVantrel
