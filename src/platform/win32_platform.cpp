#include "platform/win32_platform.h"

#include "platform/command_text.h"
#include "platform/unique_handle.h"

#include <windows.h>

namespace modVantrel {
namespace {

constexpr const wchar_t* kCaption = L"vantrel";

bool IsOrdinaryFile(const WIN32_FIND_DATAW& data) {
    constexpr DWORD kSkipped =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    return (data.dwFileAttributes & kSkipped) == 0;
}

}  // namespace

std::wstring Win32Platform::CommandText() {
    return std::wstring(ArgumentText(::GetCommandLineW()));
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

}  // namespace modVantrel
