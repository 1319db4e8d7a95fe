// The one seam between Vantrel and the operating system. The command and launch code use only
// this interface, so they build and are tested anywhere; the Win32 implementation lives beside it.
#pragma once

#include <cstdint>
#include <string>

namespace modVantrel {

using Handle = void*;

// Mirrors PROCESS_INFORMATION: creation fills it, the launcher closes both handles.
struct ProcessInformation {
    Handle process = nullptr;
    Handle thread = nullptr;
    std::uint32_t processId = 0;
    std::uint32_t threadId = 0;
};

// The fields of STARTUPINFO that Vantrel sets; every other field stays zero.
struct StartupRecord {
    std::uint32_t flags = 0;
    std::int16_t showWindow = 0;
};

inline constexpr std::uint32_t kStartfUseShowWindow = 1;
inline constexpr std::uint32_t kWaitTimeout = 258;
inline constexpr std::uint32_t kInfinite = 0xFFFFFFFF;

// Everything process creation is given besides the record it fills. The environment and the
// current directory are always inherited.
struct ProcessCreation {
    std::wstring applicationName;
    std::wstring commandLine;
    bool inheritHandles = false;
    std::uint32_t creationFlags = 0;
    StartupRecord startup;
};

enum class FatalKind { Overflow, OutOfMemory };

class Platform {
  public:
    virtual ~Platform() = default;

    // The argument part of the process's command line, as typed, double quotes included.
    virtual std::wstring CommandText() = 0;
    // Modal box with one OK button, no icon and the program's name as caption.
    virtual void ShowMessage(const std::wstring& text) = 0;
    // Name of the first ordinary file matching the pattern (wildcards * and ?); empty when
    // nothing matches or the lookup fails. Hidden files, system files and directories never match.
    virtual std::wstring LookupFile(const std::wstring& pattern) = 0;
    // Handles every window message pending for this thread, then returns.
    virtual void PumpMessages() = 0;
    virtual void SetBusyPointer(bool busy) = 0;
    // Shows the failure in a box and ends the process; never returns.
    [[noreturn]] virtual void Fatal(FatalKind kind) = 0;

    // True when the process was created; otherwise error receives the system's error code.
    virtual bool StartProcess(ProcessCreation& creation, ProcessInformation& info,
                              std::uint32_t& error) = 0;
    virtual std::uint32_t WaitForProcess(Handle process, std::uint32_t milliseconds) = 0;
    virtual void WaitForInputIdle(Handle process) = 0;
    virtual std::uint32_t ExitCodeOf(Handle process) = 0;
    virtual void CloseHandle(Handle handle) = 0;
};

}  // namespace modVantrel
