#include "box_watch.h"

#include <windows.h>

#include <algorithm>

#include "platform/unique_handle.h"

namespace e2e {
namespace {

constexpr int kMessageTextId = 0xFFFF;
constexpr DWORD kScanIntervalMs = 20;

std::wstring TextOf(HWND window) {
    if (window == nullptr) {
        return {};
    }
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

BOOL CALLBACK CollectControl(HWND control, LPARAM context) {
    Box& box = *reinterpret_cast<Box*>(context);
    wchar_t className[16] = {};
    ::GetClassNameW(control, className, 16);
    const std::wstring_view kind(className);
    if (!::IsWindowVisible(control)) {
        return TRUE;
    }
    if (kind == L"Button") {
        box.buttons.push_back(::GetDlgCtrlID(control));
    } else if (kind == L"Static" &&
               (::GetWindowLongW(control, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
        // The icon control may stay in place, empty, when the box has no icon.
        DWORD_PTR icon = 0;
        ::SendMessageTimeoutW(control, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 2000, &icon);
        box.icon = box.icon || icon != 0;
    }
    return TRUE;
}

Box Read(HWND window) {
    Box box;
    box.caption = TextOf(window);
    box.text = TextOf(::GetDlgItem(window, kMessageTextId));
    ::EnumChildWindows(window, CollectControl, reinterpret_cast<LPARAM>(&box));
    return box;
}

struct Scan {
    DWORD processId;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectBox(HWND window, LPARAM context) {
    Scan& scan = *reinterpret_cast<Scan*>(context);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    wchar_t className[16] = {};
    ::GetClassNameW(window, className, 16);
    // A box counts once it is visible: by then its dialog has been initialised and holds its text.
    if (owner == scan.processId && std::wstring_view(className) == L"#32770" &&
        ::IsWindowVisible(window)) {
        scan.found.push_back(window);
    }
    return TRUE;
}

}  // namespace

std::uint64_t Now() {
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    return (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

WatchedRun RunAnsweringBoxes(const std::wstring& application, const std::wstring& commandLine,
                             const std::wstring& directory, std::uint32_t timeLimitMs,
                             const std::function<void(const Box&)>& onBox,
                             const StartOptions& options) {
    WatchedRun run;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = (options.showCommand >= 0 ? STARTF_USESHOWWINDOW : 0) |
                      (options.output || options.error ? STARTF_USESTDHANDLES : 0);
    startup.wShowWindow = static_cast<WORD>(options.showCommand);
    startup.hStdInput = options.input;
    startup.hStdOutput = options.output;
    startup.hStdError = options.error;
    startup.lpDesktop = const_cast<wchar_t*>(options.desktop);
    PROCESS_INFORMATION created{};
    std::wstring line = commandLine;  // creation may write to it
    const ULONGLONG start = ::GetTickCount64();
    const BOOL inherit = (startup.dwFlags & STARTF_USESTDHANDLES) != 0;
    if (!::CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, inherit,
                          options.creationFlags, nullptr,
                          directory.empty() ? nullptr : directory.c_str(), &startup, &created)) {
        run.startError = ::GetLastError();
        return run;
    }
    run.started = true;
    const modVantrel::KernelHandle process(created.hProcess);
    const modVantrel::KernelHandle thread(created.hThread);

    std::vector<HWND> answered;
    for (;;) {
        const DWORD waited = ::WaitForSingleObject(process.get(), kScanIntervalMs);
        Scan scan{created.dwProcessId, {}};
        ::EnumWindows(CollectBox, reinterpret_cast<LPARAM>(&scan));
        for (const HWND box : scan.found) {
            if (std::find(answered.begin(), answered.end(), box) != answered.end()) {
                continue;  // answered already, not yet gone
            }
            answered.push_back(box);
            run.boxes.push_back(Read(box));
            if (onBox) {
                onBox(run.boxes.back());
            }
            ::PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
        if (waited != WAIT_TIMEOUT) {
            run.endedAt = Now();
            run.ended = true;
            break;
        }
        if (timeLimitMs != kNoTimeLimit && ::GetTickCount64() - start > timeLimitMs) {
            ::TerminateProcess(process.get(), 1);
            ::WaitForSingleObject(process.get(), INFINITE);
            break;
        }
    }
    DWORD code = 0;
    ::GetExitCodeProcess(process.get(), &code);
    run.exitCode = code;
    return run;
}

}  // namespace e2e
