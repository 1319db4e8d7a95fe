/* The floor of the benchmark: the Windows work a launcher that waits cannot avoid, and no more.
   Like vantrel.exe it loads user32 for its busy pointer, creates the process with a priority class,
   waits for it, reads its exit code and closes both handles.
   Usage: vantrel_floor.exe <program path>    (the whole argument text is the path) */
#include <windows.h>
#include <string.h>
#include <wchar.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR path, int show) {
    static wchar_t commandLine[32768];
    STARTUPINFOW startup;
    PROCESS_INFORMATION created;
    DWORD code = 0;
    (void)instance;
    (void)previous;
    (void)show;
    const size_t length = wcslen(path);
    if (length + 3 > sizeof commandLine / sizeof *commandLine) {
        return ERROR_INVALID_PARAMETER;
    }
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    commandLine[0] = L'"';
    memcpy(commandLine + 1, path, length * sizeof *path);
    commandLine[length + 1] = L'"';
    SetCursor(LoadCursorW(NULL, IDC_WAIT));
    if (!CreateProcessW(path, commandLine, NULL, NULL, FALSE, NORMAL_PRIORITY_CLASS, NULL, NULL,
                        &startup, &created)) {
        return (int)GetLastError();
    }
    WaitForSingleObject(created.hProcess, INFINITE);
    if (!GetExitCodeProcess(created.hProcess, &code)) {
        code = GetLastError();
    }
    CloseHandle(created.hThread);
    CloseHandle(created.hProcess);
    SetCursor(LoadCursorW(NULL, IDC_ARROW));
    return (int)code;
}
