// A program for the tests to launch: it records how it was started and then sleeps and exits as
// the test asks, through variables of the environment that it inherits, so that its command line
// stays exactly what the launcher built.
//   VANTREL_PROBE_RECORD   file to write (UTF-16LE): command line, working directory and priority
//                          class, one per line
//   VANTREL_PROBE_SLEEP_MS how long to sleep before exiting (default 0)
//   VANTREL_PROBE_EXIT     the exit code (default 0)
//   VANTREL_PROBE_DONE     file to make, empty, once the sleep is over: tells a waiting test that
//                          the probe has reached its end
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

std::wstring Variable(const wchar_t* name) {
    wchar_t value[32768];
    const DWORD length = ::GetEnvironmentVariableW(name, value, 32768);
    return length > 0 && length < 32768 ? std::wstring(value, length) : std::wstring();
}

unsigned long Number(const wchar_t* name) {
    const std::wstring text = Variable(name);
    return text.empty() ? 0 : std::wcstoul(text.c_str(), nullptr, 10);
}

void Record(const std::wstring& path) {
    wchar_t directory[MAX_PATH * 4] = {};
    ::GetCurrentDirectoryW(MAX_PATH * 4, directory);
    wchar_t priority[16];
    std::swprintf(priority, 16, L"0x%lX", ::GetPriorityClass(::GetCurrentProcess()));
    const std::wstring text =
        std::wstring(::GetCommandLineW()) + L"\n" + directory + L"\n" + priority + L"\n";
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
    const std::wstring record = Variable(L"VANTREL_PROBE_RECORD");
    if (!record.empty()) {
        Record(record);
    }
    ::Sleep(Number(L"VANTREL_PROBE_SLEEP_MS"));
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
