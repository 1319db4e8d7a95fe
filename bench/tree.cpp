// A process tree for the benchmark of vantrel.exe /t. A GUI-subsystem program, so that no console
// host joins the tree under Wine.
//   vantrel_tree.exe outlive MS   starts "sleep MS" and ends at once: the tree outlives its root;
//                                 with VANTREL_TREE_REPORT set, first writes there the moment of
//                                 its first instruction, in milliseconds of the performance counter
//   vantrel_tree.exe sleep MS     sleeps MS milliseconds with a window, which WM_CLOSE closes at
//                                 once: as a program asked to close by Vantrel's time limit
//   vantrel_tree.exe descend N [STAMP]
//     starts the next of a chain of descendants, "descend N-1", while N > 0. A descendant (given
//     STAMP, its parent's performance counter just before creating it; the root only starts the
//     chain) first polls its own priority class from its first instruction until it reads Above
//     Normal, or for a second, and appends one line to the file that VANTREL_TREE_REPORT names:
//     N and the milliseconds from its first instruction and from STAMP to the change, both -1 when
//     the change never came. The file's name comes from the environment, since Vantrel would take
//     a quoted argument for the program's path.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

#include "platform/unique_handle.h"
#include "window_sleep.h"

namespace {

using Handle = modVantrel::KernelHandle;

long long Counter() {
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return now.QuadPart;
}

double TicksPerMs() {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(frequency.QuadPart) / 1000.0;
}

// Starts this program again with the arguments.
bool StartAgain(const std::wstring& arguments) {
    wchar_t self[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (length == 0 || length == MAX_PATH) {
        return false;
    }
    std::wstring line = L"\"" + std::wstring(self, length) + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION created{};
    if (!::CreateProcessW(self, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &created)) {
        return false;
    }
    const Handle process(created.hProcess);
    const Handle thread(created.hThread);
    return true;
}

// Appends a line to the file that VANTREL_TREE_REPORT names, if any.
void WriteReport(const std::string& line) {
    wchar_t file[MAX_PATH];
    const DWORD length = ::GetEnvironmentVariableW(L"VANTREL_TREE_REPORT", file, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return;
    }
    const Handle out(::CreateFileW(file, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (out.valid() && !line.empty()) {
        ::WriteFile(out.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }
}

// Waits, polling, until this process's priority class reads Above Normal, and appends the line.
void ReportDelay(long long start, long long stamp, unsigned long remaining) {
    const double ticksPerMs = TicksPerMs();
    const long long patience = start + static_cast<long long>(1000 * ticksPerMs);
    bool came = false;
    long long now = start;
    while (!came && now <= patience) {
        came = ::GetPriorityClass(::GetCurrentProcess()) == ABOVE_NORMAL_PRIORITY_CLASS;
        now = Counter();
    }
    char line[64];
    const int size = std::snprintf(line, sizeof line, "%lu %.3f %.3f\n", remaining,
                                   came ? static_cast<double>(now - start) / ticksPerMs : -1,
                                   came ? static_cast<double>(now - stamp) / ticksPerMs : -1);
    WriteReport(std::string(line, size > 0 ? static_cast<std::size_t>(size) : 0));
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const long long start = Counter();
    const int argc = __argc;
    wchar_t** const argv = __wargv;
    if (argc < 3) {
        return ERROR_INVALID_PARAMETER;
    }
    const std::wstring mode = argv[1];
    const unsigned long number = std::wcstoul(argv[2], nullptr, 10);
    if (mode == L"sleep") {
        vantrel_probe::SleepWithWindow(number, true);
        return 0;
    }
    if (mode == L"outlive") {
        WriteReport(std::to_string(static_cast<double>(start) / TicksPerMs()) + "\n");
        return StartAgain(L"sleep " + std::to_wstring(number)) ? 0 : 1;
    }
    if (mode != L"descend") {
        return ERROR_INVALID_PARAMETER;
    }
    if (argc > 3) {
        ReportDelay(start, std::wcstoll(argv[3], nullptr, 10), number);
    }
    if (number > 0) {
        // The stamp is read a moment before the creation: building the line takes microseconds.
        return StartAgain(L"descend " + std::to_wstring(number - 1) + L" " +
                          std::to_wstring(Counter()))
                   ? 0
                   : 1;
    }
    return 0;
}
