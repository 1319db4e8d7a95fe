// A sleep that keeps a top-level window, for the programs that the tests and the benchmark launch:
// a window is what Vantrel asks to close at a time limit.
#pragma once

#include <windows.h>

namespace vantrel_probe {

inline LRESULT CALLBACK ClosingWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

inline LRESULT CALLBACK StubbornWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return message == WM_CLOSE ? 0 : ::DefWindowProcW(window, message, wParam, lParam);
}

// Sleeps that long with a window, whose WM_CLOSE ends the sleep at once when it `closes`, and is
// ignored when it does not.
inline void SleepWithWindow(DWORD milliseconds, bool closes) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = closes ? ClosingWindow : StubbornWindow;
    windowClass.lpszClassName = L"vantrel-probe";
    ::RegisterClassW(&windowClass);
    ::CreateWindowExW(0, windowClass.lpszClassName, L"probe", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                      0, 200, 100, nullptr, nullptr, nullptr, nullptr);
    const ULONGLONG end = ::GetTickCount64() + milliseconds;
    for (ULONGLONG now = ::GetTickCount64(); now < end; now = ::GetTickCount64()) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                return;
            }
            ::DispatchMessageW(&message);
        }
    }
}

}  // namespace vantrel_probe
