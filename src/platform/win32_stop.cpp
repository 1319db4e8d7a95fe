// The Win32 side of the stop at a time limit: the tree is asked to close, as its close boxes and
// Ctrl+Break ask, before anything is ended.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/system_function.h"
#include "platform/win32_platform.h"

namespace modVantrel {
namespace {

using ThreadOfWindow = DWORD(WINAPI*)(HWND, DWORD*);
using PostToWindow = BOOL(WINAPI*)(HWND, UINT, WPARAM, LPARAM);
using EnumerateWindows = BOOL(WINAPI*)(WNDENUMPROC, LPARAM);

struct WindowSearch {
    const std::vector<std::uint32_t>& processIds;
    ThreadOfWindow threadOf;
    PostToWindow post;
    std::uint32_t posted = 0;
};

BOOL CALLBACK CloseIfMember(HWND window, LPARAM context) {
    // NOLINTNEXTLINE(performance-no-int-to-ptr): EnumWindows hands its context back as an integer.
    WindowSearch& search = *reinterpret_cast<WindowSearch*>(context);
    DWORD owner = 0;
    search.threadOf(window, &owner);
    const std::vector<std::uint32_t>& ids = search.processIds;
    if (std::find(ids.begin(), ids.end(), owner) != ids.end() &&
        search.post(window, WM_CLOSE, 0, 0) != FALSE) {
        ++search.posted;
    }
    return TRUE;
}

// Vantrel is on the console it signals, and must live on to end what is left. Never taken
// away again: the signal reaches Vantrel on a thread of its own, perhaps after the detach.
BOOL WINAPI IgnoreBreak(DWORD /*event*/) {
    return TRUE;
}

}  // namespace

// Found at run time, so that vantrel.com, which has no window of its own, loads USER32 only here.
std::uint32_t Win32Platform::CloseWindowsOf(const std::vector<std::uint32_t>& processIds) {
    const auto enumerate = SystemFunction<EnumerateWindows>(L"user32.dll", "EnumWindows");
    const auto threadOf = SystemFunction<ThreadOfWindow>(L"user32.dll", "GetWindowThreadProcessId");
    const auto post = SystemFunction<PostToWindow>(L"user32.dll", "PostMessageW");
    if (processIds.empty() || enumerate == nullptr || threadOf == nullptr || post == nullptr) {
        return 0;
    }
    WindowSearch search{processIds, threadOf, post};
    enumerate(CloseIfMember, reinterpret_cast<LPARAM>(&search));
    return search.posted;
}

std::vector<std::uint32_t> Win32Platform::BreakConsoleOf(std::uint32_t processId) {
    static const BOOL ignoring = ::SetConsoleCtrlHandler(IgnoreBreak, TRUE);
    if (ignoring == FALSE) {
        return {};
    }
    // Attaching gives the standard handles that were null the console's, which the detach leaves
    // dangling: they are put back as they were.
    const DWORD slots[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    HANDLE saved[3] = {};
    for (std::size_t i = 0; i < 3; ++i) {
        saved[i] = ::GetStdHandle(slots[i]);
    }
    if (!::AttachConsole(processId)) {
        return {};
    }
    std::vector<DWORD> onConsole(64);
    DWORD count = ::GetConsoleProcessList(onConsole.data(), static_cast<DWORD>(onConsole.size()));
    if (count > onConsole.size()) {
        onConsole.resize(count);
        count = ::GetConsoleProcessList(onConsole.data(), count);
    }
    const bool sent = ::GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, 0) != FALSE;
    ::FreeConsole();
    for (std::size_t i = 0; i < 3; ++i) {
        ::SetStdHandle(slots[i], saved[i]);
    }
    onConsole.resize(sent ? std::min<std::size_t>(count, onConsole.size()) : 0);
    return std::vector<std::uint32_t>(onConsole.begin(), onConsole.end());
}

std::uint32_t Win32Platform::BreakGroup(std::uint32_t groupId) {
    return ErrorUnless(::GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, groupId));
}

}  // namespace modVantrel
