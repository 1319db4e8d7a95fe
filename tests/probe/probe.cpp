// A program for the tests to launch: it records how it was started and then sleeps and exits as
// the test asks, through variables of the environment that it inherits, so that its command line
// stays exactly what the launcher built. VANTREL_PROBE_<X>, in the order of use:
//   RECORD_AFTER_MS how long to wait at the start (default 0): a launcher that changes the
//               processes of a tree does so only once it hears of them
//   START_CHILD creation flags (C notation, e.g. 0x1000008) with which to start a copy of the
//               probe, left running; its variables are VANTREL_PROBE_CHILD_<X> renamed
//               VANTREL_PROBE_<X>, and no other VANTREL_PROBE_ ones, so that a grandchild has
//               settings of its own
//   RECORD      file to write (UTF-16LE): command line, working directory, priority class,
//               affinity mask, the error of starting the child (0: started, or none asked) and
//               the start-up record's flags and show command, one per line, then HANDLE's line
//               and "c" when standard error is a console, else "-"
//   HANDLE      a handle value, in decimal, that the probe must not have inherited: the record's
//               last line is 1 when it names a signalled object here, else 0; "ok" goes to output
//   SLEEP_MS    how long to sleep then (default 0)
//   WINDOW      "save" or "ignore": first "progress" and a carriage return, no line end, go to
//               standard error; then the sleep keeps a top-level window, whose WM_CLOSE ends it
//               at once ("save", as a program that saves its work and exits) or is ignored
//   DONE        file to make, empty, once the sleep is over: tells a waiting test that the probe
//               has reached its end
//   EXIT        the exit code (default 0)
#include <windows.h>

#include <cstdint>
#include <cwchar>
#include <string>
#include <string_view>

#include "window_sleep.h"

namespace {

constexpr std::wstring_view kPrefix = L"VANTREL_PROBE_";
constexpr std::wstring_view kChildPrefix = L"VANTREL_PROBE_CHILD_";

std::wstring Variable(const wchar_t* name) {
    wchar_t value[32768];
    const DWORD length = ::GetEnvironmentVariableW(name, value, 32768);
    return length > 0 && length < 32768 ? std::wstring(value, length) : std::wstring();
}

unsigned long Number(const wchar_t* name) {
    const std::wstring text = Variable(name);
    return text.empty() ? 0 : std::wcstoul(text.c_str(), nullptr, 10);
}

// Starts this program again with the child's settings; 0, or the error of CreateProcessW.
DWORD StartChild(DWORD flags) {
    std::wstring environment;
    wchar_t* const block = ::GetEnvironmentStringsW();
    for (const wchar_t* entry = block; *entry != L'\0'; entry += std::wcslen(entry) + 1) {
        const std::wstring_view text(entry);
        if (text.compare(0, kChildPrefix.size(), kChildPrefix) == 0) {
            environment.append(kPrefix).append(text.substr(kChildPrefix.size())).push_back(L'\0');
        } else if (text.compare(0, kPrefix.size(), kPrefix) != 0) {
            environment.append(text).push_back(L'\0');
        }
    }
    ::FreeEnvironmentStringsW(block);
    environment.push_back(L'\0');
    wchar_t self[MAX_PATH * 4] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
    std::wstring line = L"\"" + std::wstring(self) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION created{};
    if (!::CreateProcessW(self, line.data(), nullptr, nullptr, FALSE,
                          flags | CREATE_UNICODE_ENVIRONMENT, environment.data(), nullptr, &startup,
                          &created)) {
        return ::GetLastError();
    }
    ::CloseHandle(created.hThread);
    ::CloseHandle(created.hProcess);
    return 0;
}

void Record(const std::wstring& path, DWORD childError) {
    wchar_t directory[MAX_PATH * 4] = {};
    ::GetCurrentDirectoryW(MAX_PATH * 4, directory);
    DWORD_PTR processMask = 0;
    DWORD_PTR systemMask = 0;
    ::GetProcessAffinityMask(::GetCurrentProcess(), &processMask, &systemMask);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    ::GetStartupInfoW(&startup);
    wchar_t settings[96];
    std::swprintf(settings, 96, L"0x%lX\n0x%llX\n%lu\n0x%lX %u\n",
                  ::GetPriorityClass(::GetCurrentProcess()),
                  static_cast<unsigned long long>(processMask), childError, startup.dwFlags,
                  startup.wShowWindow);
    const auto inherited =
        reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(Number(L"VANTREL_PROBE_HANDLE")));
    const bool leaked =
        inherited != nullptr && ::WaitForSingleObject(inherited, 0) == WAIT_OBJECT_0;
    DWORD mode = 0;
    const bool console = ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != FALSE;
    const std::wstring text = std::wstring(::GetCommandLineW()) + L"\n" + directory + L"\n" +
                              settings + (leaked ? L"1\n" : L"0\n") + (console ? L"c\n" : L"-\n");
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    ::WriteFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written,
                nullptr);
    ::CloseHandle(file);
}

}  // namespace

int wmain() {
    ::Sleep(Number(L"VANTREL_PROBE_RECORD_AFTER_MS"));
    const std::wstring child = Variable(L"VANTREL_PROBE_START_CHILD");
    const DWORD childError =
        child.empty() ? 0 : StartChild(std::wcstoul(child.c_str(), nullptr, 0));
    const std::wstring record = Variable(L"VANTREL_PROBE_RECORD");
    if (!record.empty()) {
        Record(record, childError);
    }
    DWORD written = 0;
    if (!Variable(L"VANTREL_PROBE_HANDLE").empty()) {
        ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), L"ok", 4, &written, nullptr);
    }
    const std::wstring window = Variable(L"VANTREL_PROBE_WINDOW");
    if (window.empty()) {
        ::Sleep(Number(L"VANTREL_PROBE_SLEEP_MS"));
    } else {
        ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), "progress\r", 9, &written, nullptr);
        vantrel_probe::SleepWithWindow(Number(L"VANTREL_PROBE_SLEEP_MS"), window == L"save");
    }
    const std::wstring done = Variable(L"VANTREL_PROBE_DONE");
    if (!done.empty()) {
        const HANDLE file = ::CreateFileW(done.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            ::CloseHandle(file);
        }
    }
    return static_cast<int>(Number(L"VANTREL_PROBE_EXIT"));
}
