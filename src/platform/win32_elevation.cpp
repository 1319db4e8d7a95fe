// The Win32 side of running elevated and of watching a parent process.
#include "platform/win32_platform.h"

#include <windows.h>

#include <shellapi.h>

namespace modVantrel {
namespace {

// MinGW-w64's headers lack this one; the Windows SDK's have it.
#ifdef ERROR_ELEVATION_REQUIRED
static_assert(kErrorElevationRequired == ERROR_ELEVATION_REQUIRED);
#endif

// The error of the call that just failed; never 0, so that a failure is never taken for success.
std::uint32_t ErrorOfLastCall() {
    const DWORD error = ::GetLastError();
    return error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE;
}

}  // namespace

std::uint32_t Win32Platform::ProcessId() {
    return ::GetCurrentProcessId();
}

std::wstring Win32Platform::ModulePath() {
    // The call cuts a path that does not fit and returns the buffer's size: try a larger one.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring Win32Platform::CurrentDirectory() {
    const DWORD size = ::GetCurrentDirectoryW(0, nullptr);
    std::wstring directory(size, L'\0');
    const DWORD length = ::GetCurrentDirectoryW(size, directory.data());
    directory.resize(length < size ? length : 0);
    return directory;
}

Handle Win32Platform::OpenParent(std::uint32_t processId) {
    return ::OpenProcess(SYNCHRONIZE, FALSE, processId);
}

std::uint32_t Win32Platform::StartElevated(const ElevatedStart& start, Handle& process) {
    // Found at run time, so that no executable imports shell32 and only this path maps it. It
    // stays loaded: the shell may leave threads of its own running in it. A known DLL, so it is
    // always the system's copy.
    const HMODULE shell = ::LoadLibraryW(L"shell32.dll");
    const FARPROC found = shell != nullptr ? ::GetProcAddress(shell, "ShellExecuteExW") : nullptr;
    if (found == nullptr) {
        return ErrorOfLastCall();
    }
    using ShellExecuteEx = BOOL(WINAPI*)(SHELLEXECUTEINFOW*);
    const auto execute = reinterpret_cast<ShellExecuteEx>(reinterpret_cast<void (*)()>(found));
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    // Synchronous, with the process handle, and with no error box: Vantrel reports the failure.
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"runas";
    info.lpFile = start.path.c_str();
    info.lpParameters = start.parameters.c_str();
    info.lpDirectory = start.directory.c_str();
    info.nShow = start.showWindow >= 0 ? start.showWindow : SW_SHOWNORMAL;
    if (!execute(&info)) {
        return ErrorOfLastCall();
    }
    process = info.hProcess;
    return 0;
}

}  // namespace modVantrel
