// Runs a program and answers its message boxes from outside, as a person at the screen would:
// shared by the end-to-end driver and by the box relay that scripts/run.sh uses without a display.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace e2e {

struct Box {
    std::wstring caption;
    std::wstring text;         // of the static text control, id 0xFFFF
    std::vector<int> buttons;  // ids of the visible buttons
    bool icon = false;         // whether an icon is shown
};

struct WatchedRun {
    bool started = false;
    std::uint32_t startError = 0;  // when the program could not be started
    bool ended = false;            // false: still running at the time limit, and then terminated
    std::uint32_t exitCode = 0;
    std::vector<Box> boxes;     // every box shown, in order
    std::uint64_t endedAt = 0;  // system time (FILETIME units) when the end was seen
};

inline constexpr std::uint32_t kNoTimeLimit = 0xFFFFFFFF;

// How a program is started besides its command line and folder. With an output or error handle
// (inheritable) it inherits every inheritable handle of this process, as a shell's child does.
struct StartOptions {
    int showCommand = -1;  // 0 or more: in the start-up record, as a shortcut's Run setting is
    void* output = nullptr;
    void* error = nullptr;
    const wchar_t* desktop = nullptr;  // "station\desktop" to start it on; null: this one
    void* input = nullptr;
    std::uint32_t creationFlags = 0;  // DETACHED_PROCESS, CREATE_NEW_CONSOLE
};

// Starts `application` with exactly `commandLine` in `directory` (empty: this process's own),
// inheriting this process's environment. Each visible dialog box (class #32770) owned by the new
// process is read, passed to `onBox` and answered with OK; returns once the process has ended,
// or terminates it after `timeLimitMs`.
WatchedRun RunAnsweringBoxes(const std::wstring& application, const std::wstring& commandLine,
                             const std::wstring& directory, std::uint32_t timeLimitMs,
                             const std::function<void(const Box&)>& onBox = {},
                             const StartOptions& options = {});

// System time now, in FILETIME units (100 ns).
std::uint64_t Now();

}  // namespace e2e
