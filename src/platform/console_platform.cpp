#include "platform/console_platform.h"

#include <windows.h>

namespace modVantrel {
namespace {

// Ctrl+C and Ctrl+Break reach every process on the console: the program decides what they mean,
// and Vantrel, which must live to report its status, ignores them. A routine, not the ignore flag
// that SetConsoleCtrlHandler(NULL, TRUE) sets, since the program would inherit that flag.
BOOL WINAPI IgnoreInterrupt(DWORD /*event*/) {
    return TRUE;
}

}  // namespace

bool ConsolePlatform::CanShowBoxes() {
    return false;
}

bool ConsolePlatform::SharesConsole() {
    return true;
}

void ConsolePlatform::ShowMessage(const std::wstring& text) {
    WriteError(text);
}

// Wherever standard error leads: the console, a file or a pipe.
void ConsolePlatform::WriteReport(const std::wstring& line) {
    WriteError(line);
}

void ConsolePlatform::PumpMessages() {}  // no window, so no messages

// Input idleness is a window's; the console build has no window code to wait with.
void ConsolePlatform::WaitForInputIdle(Handle /*process*/) {}

void ConsolePlatform::SetBusy(bool busy) {
    ::SetConsoleCtrlHandler(IgnoreInterrupt, busy ? TRUE : FALSE);
}

void ConsolePlatform::Fatal(FatalKind kind) {
    WriteError(std::wstring(FatalText(kind)) + L"\r\n");
    ::ExitProcess(FatalStatus(kind));
}

}  // namespace modVantrel
