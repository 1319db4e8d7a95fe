#include "platform/windowed_platform.h"

#include <windows.h>

namespace modVantrel {
namespace {

constexpr const wchar_t* kCaption = L"vantrel";

}  // namespace

bool WindowedPlatform::CanShowBoxes() {
    // Services and tasks that run whether or not a user is logged on have no visible desktop.
    DWORD session = 0;
    if (::ProcessIdToSessionId(::GetCurrentProcessId(), &session) && session == 0) {
        return false;
    }
    USEROBJECTFLAGS flags{};
    const HWINSTA station = ::GetProcessWindowStation();
    return station == nullptr ||
           ::GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, nullptr) ==
               FALSE ||
           (flags.dwFlags & WSF_VISIBLE) != 0;
}

bool WindowedPlatform::SharesConsole() {
    return false;
}

void WindowedPlatform::ShowMessage(const std::wstring& text) {
    ::MessageBoxW(nullptr, text.c_str(), kCaption, MB_OK | MB_SETFOREGROUND);
}

// No console: what was asked for is shown as the messages are.
void WindowedPlatform::WriteOutput(const std::wstring& text) {
    if (CanShowBoxes()) {
        ShowMessage(text);
    } else {
        WriteError(text);
    }
}

// Only to a file or a pipe, where logs and scripts asked for it: vantrel.exe has no console of its
// own, and a box would hold up the unattended runs that want the report.
void WindowedPlatform::WriteReport(const std::wstring& line) {
    const DWORD type = ::GetFileType(::GetStdHandle(STD_ERROR_HANDLE));
    if (type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE) {
        WriteError(line);
    }
}

void WindowedPlatform::PumpMessages() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

void WindowedPlatform::WaitForInputIdle(Handle process) {
    ::WaitForInputIdle(process, INFINITE);
}

void WindowedPlatform::SetBusy(bool busy) {
    ::SetCursor(::LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}

// No console, so nothing to type Ctrl+C in.
void WindowedPlatform::PassInterruptsTo(std::uint32_t /*groupId*/) {}

// vantrel.exe has no window of its own to give.
Handle WindowedPlatform::PromptOwner() {
    return nullptr;
}

void WindowedPlatform::Fatal(FatalKind kind) {
    if (CanShowBoxes()) {
        ::MessageBoxW(nullptr, FatalText(kind), kCaption, MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
    } else {
        WriteError(std::wstring(FatalText(kind)) + L"\r\n");
    }
    ::ExitProcess(FatalStatus(kind));
}

}  // namespace modVantrel
