#include "platform/console_platform.h"

#include <windows.h>

#include <atomic>

#include "platform/system_function.h"

namespace modVantrel {
namespace {

// The program's own process group, while Ctrl+C is passed on to it; 0 for none.
std::atomic<DWORD> interruptGroup{0};

// Ctrl+C and Ctrl+Break reach every process on the console: the program decides what they mean,
// and Vantrel, which must live to report its status, ignores them. A routine, not the ignore flag
// that SetConsoleCtrlHandler(NULL, TRUE) sets, since the program would inherit that flag. A group
// of the program's own ignores Ctrl+C, so it is given Ctrl+Break instead.
BOOL WINAPI IgnoreInterrupt(DWORD event) {
    const DWORD group = interruptGroup.load();
    if (event == CTRL_C_EVENT && group != 0) {
        ::GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, group);
    }
    return TRUE;
}

}  // namespace

bool ConsolePlatform::CanShowBoxes() {
    return false;
}

// Started detached (by a service or a scheduler) it has none; a console without a window, which
// GetConsoleWindow cannot tell from none, still has a code page.
bool ConsolePlatform::SharesConsole() {
    return ::GetConsoleCP() != 0;
}

void ConsolePlatform::ShowMessage(const std::wstring& text) {
    WriteError(text);
}

// The help is asked for in a console, or by a script that reads standard output.
void ConsolePlatform::WriteOutput(const std::wstring& text) {
    WriteTo(STD_OUTPUT_HANDLE, text);
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

void ConsolePlatform::PassInterruptsTo(std::uint32_t groupId) {
    interruptGroup.store(groupId);
}

Handle ConsolePlatform::PromptOwner() {
    // Found at run time: only the elevated restart asks, and the call would be a new import.
    using FindWindowOfConsole = HWND(WINAPI*)();
    const auto consoleWindow =
        SystemFunction<FindWindowOfConsole>(L"kernel32.dll", "GetConsoleWindow");
    return consoleWindow != nullptr ? consoleWindow() : nullptr;
}

void ConsolePlatform::Fatal(FatalKind kind) {
    WriteError(std::wstring(FatalText(kind)) + L"\r\n");
    ::ExitProcess(FatalStatus(kind));
}

}  // namespace modVantrel
