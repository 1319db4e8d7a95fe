// The one seam between Vantrel and the operating system. The command and launch code use only
// this interface, so they build and are tested anywhere; the Win32 implementation lives beside it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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
    std::array<Handle, 3> standardHandles{};  // input, output, error
};

// One of Vantrel's own standard handles, null unless it is redirected or is its console's, and
// whether it is redirected: to a file, a pipe or, where Vantrel shares a console, a device such as
// NUL.
struct StandardHandle {
    Handle handle = nullptr;
    bool redirected = false;
};

inline constexpr std::uint32_t kStartfUseShowWindow = 1;
inline constexpr std::uint32_t kStartfUseStdHandles = 0x100;
inline constexpr std::uint32_t kExtendedStartupInfoPresent = 0x80000;
inline constexpr std::uint32_t kCreateNoWindow = 0x08000000;
inline constexpr std::int32_t kNoShowWindow = -1;    // no show command: windows open as they choose
inline constexpr std::int32_t kMaxShowCommand = 11;  // SW_FORCEMINIMIZE, the last there is
inline constexpr std::uint32_t kCreateSuspended = 0x4;
inline constexpr std::uint32_t kCreateBreakawayFromJob = 0x01000000;
inline constexpr std::uint32_t kCreateNewProcessGroup = 0x200;
inline constexpr std::uint32_t kErrorAccessDenied = 5;
inline constexpr std::uint32_t kWaitTimeout = 258;
inline constexpr std::uint32_t kInfinite = 0xFFFFFFFF;

// The job messages that the tree wait acts on (JOB_OBJECT_MSG_*); the port carries others too.
inline constexpr std::uint32_t kJobActiveProcessZero = 4;
inline constexpr std::uint32_t kJobNewProcess = 6;
inline constexpr std::uint32_t kJobMemoryLimit = 10;  // the job's memory limit refused a commit

// What the tree's job is created with, in the terms of JOBOBJECT_EXTENDED_LIMIT_INFORMATION and
// JOBOBJECT_CPU_RATE_CONTROL_INFORMATION: no rate control when its flags are 0.
struct JobLimits {
    std::uint32_t limitFlags = 0;
    std::uint64_t jobMemoryLimit = 0;  // bytes, with kJobLimitJobMemory
    std::uint32_t cpuRateFlags = 0;
    std::uint32_t cpuRate = 0;  // hundredths of a percent of all the processors
};

inline constexpr std::uint32_t kJobLimitJobMemory = 0x200;
inline constexpr std::uint32_t kJobLimitBreakawayOk = 0x800;
inline constexpr std::uint32_t kJobLimitKillOnJobClose = 0x2000;
inline constexpr std::uint32_t kCpuRateEnable = 0x1;
inline constexpr std::uint32_t kCpuRateHardCap = 0x4;

// One message from a job's completion port: what happened, and to which process.
struct JobMessage {
    std::uint32_t id = 0;
    std::uint32_t processId = 0;
};

// Everything process creation is given besides the record it fills. The environment and the
// current directory are always inherited.
struct ProcessCreation {
    std::wstring applicationName;
    std::wstring commandLine;
    bool inheritHandles = false;
    // With kExtendedStartupInfoPresent: the only handles the program inherits, each once, of
    // which it is given inheritable copies.
    std::vector<Handle> inheritedHandles;
    std::uint32_t creationFlags = 0;
    StartupRecord startup;
};

// What a run cost, as one platform call gathers it from the system's accounts: of the program, or
// of every process that ran in its job. Times in units of 100 ns, sizes in bytes; a figure the
// system did not give is absent.
struct RunCost {
    std::optional<std::uint64_t> userTime;
    std::optional<std::uint64_t> kernelTime;
    std::optional<std::uint64_t> processes;
    std::optional<std::uint64_t> peakCommit;
    std::optional<std::uint64_t> bytesRead;
    std::optional<std::uint64_t> bytesWritten;
};

enum class FatalKind { Overflow, OutOfMemory };

// ERROR_ELEVATION_REQUIRED: the program's manifest asks for administrator rights.
inline constexpr std::uint32_t kErrorElevationRequired = 740;
// ERROR_TIMEOUT: the exit code of every process that the time limit ends.
inline constexpr std::uint32_t kErrorTimeout = 1460;

// What starting a program elevated is given: "runas", with this show command (kNoShowWindow: the
// normal one), and the window that the consent prompt belongs to (none when null).
struct ElevatedStart {
    std::wstring path;
    std::wstring parameters;
    std::wstring directory;
    std::int32_t showWindow = kNoShowWindow;
    Handle ownerWindow = nullptr;
    // How long the consent prompt may stay unanswered: after that the start gives up with
    // ERROR_TIMEOUT, though the prompt may stay on the screen.
    std::uint32_t timeoutMs = kInfinite;
};

// One logical processor of Vantrel's processor group: its number there, which is its bit in an
// affinity mask, and its efficiency class (higher is faster, lower uses less power).
struct ProcessorClass {
    std::uint32_t number = 0;
    std::uint32_t efficiencyClass = 0;
};

// A moment on the local clock, as the system gives it, and how far local time is ahead of UTC.
struct LocalTime {
    std::uint16_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    std::int32_t utcOffsetMinutes = 0;
};

class Platform {
  public:
    virtual ~Platform() = default;

    // The argument part of the process's command line, as typed, double quotes included.
    virtual std::wstring CommandText() = 0;
    // The show command that whoever started Vantrel asked for (STARTF_USESHOWWINDOW), or
    // kNoShowWindow.
    virtual std::int32_t ShowCommand() = 0;
    // Whether a message box can be seen and answered: never in the console build, nor where no
    // desktop can be seen (a window station that is not visible, session 0).
    virtual bool CanShowBoxes() = 0;
    // Modal box with one OK button, no icon and the program's name as caption.
    virtual void ShowMessage(const std::wstring& text) = 0;
    // The text on standard error, when that leads to a console, a file or a pipe.
    virtual void WriteError(const std::wstring& text) = 0;
    // What the user asked to read (the help): the console build writes it on standard output; the
    // windowed build, which has none, shows it as it shows its messages.
    virtual void WriteOutput(const std::wstring& text) = 0;
    // An environment variable's value, empty ones included; none when it is not set.
    virtual std::optional<std::wstring> EnvironmentVariable(const std::wstring& name) = 0;
    // The run's report on standard error: the console build's wherever it leads, the windowed
    // build's only where it leads to a file or a pipe; never in a box.
    virtual void WriteReport(const std::wstring& line) = 0;
    // Name of the first ordinary file matching the pattern (wildcards * and ?); empty when
    // nothing matches or the lookup fails. Hidden files, system files and directories never match.
    virtual std::wstring LookupFile(const std::wstring& pattern) = 0;
    // Handles every window message pending for this thread, then returns.
    virtual void PumpMessages() = 0;
    // While a launch is under way: the windowed build shows the busy pointer; the console build
    // leaves Ctrl+C and Ctrl+Break to the program, which shares its console.
    virtual void SetBusy(bool busy) = 0;
    // Reports the failure as messages are reported and ends the process; never returns.
    [[noreturn]] virtual void Fatal(FatalKind kind) = 0;

    // Vantrel's standard input, output and error.
    virtual std::array<StandardHandle, 3> StandardHandles() = 0;
    // Whether a console program that Vantrel starts shares Vantrel's console: the console build
    // while it is attached to one, windowless or not; never the windowed build, which has none.
    virtual bool SharesConsole() = 0;

    // True when the process was created; otherwise error receives the system's error code.
    virtual bool StartProcess(ProcessCreation& creation, ProcessInformation& info,
                              std::uint32_t& error) = 0;
    virtual std::uint32_t WaitForProcess(Handle process, std::uint32_t milliseconds) = 0;
    virtual void WaitForInputIdle(Handle process) = 0;
    virtual std::uint32_t ExitCodeOf(Handle process) = 0;
    // What the process has cost so far; it must not have been closed.
    virtual RunCost ProcessCost(Handle process) = 0;
    virtual void CloseHandle(Handle handle) = 0;

    // Microseconds on a clock that only runs forward, for deadlines and durations. It is the
    // system's, one for every process, so that a deadline can be handed to another process.
    virtual std::uint64_t MonotonicMicroseconds() = 0;

    // The processors this system offers to Vantrel (the system affinity mask).
    virtual std::uint64_t SystemAffinityMask() = 0;

    // The settings of a created process. From here on, each call that can fail returns 0 when
    // done, otherwise the system's error code, never 0.
    virtual std::uint32_t SetAffinity(Handle process, std::uint64_t mask) = 0;
    virtual std::uint32_t SetPriority(Handle process, std::uint32_t priorityClass) = 0;
    // Asks for power-throttled execution (efficiency mode); true when the system took the hint.
    virtual bool SetEfficiencyMode(Handle process) = 0;
    // Background work, hints as efficiency mode is: the process's I/O priority and its memory
    // priority Very Low; each true when the system took it.
    virtual bool SetLowIoPriority(Handle process) = 0;
    virtual bool SetLowMemoryPriority(Handle process) = 0;
    // The processors of Vantrel's group with their classes, from the system's CPU sets; none
    // where the system does not say (before Windows 10).
    virtual std::vector<ProcessorClass> ProcessorClasses() = 0;
    virtual std::uint32_t ResumeThread(Handle thread) = 0;
    virtual void TerminateProcess(Handle process, std::uint32_t exitCode) = 0;

    // The process tree: a job with these limits, with a completion port that hears of every
    // process joining, of the last one leaving and of the memory limit. Both handles are the
    // caller's to close.
    virtual std::uint32_t CreateTreeJob(const JobLimits& limits, Handle& job, Handle& port) = 0;
    virtual std::uint32_t AssignToJob(Handle job, Handle process) = 0;
    // Ends every process in the job with this exit code.
    virtual std::uint32_t TerminateJob(Handle job, std::uint32_t exitCode) = 0;
    // 0 with the next message, kWaitTimeout when none came in time, or the system's error code.
    virtual std::uint32_t WaitForJobMessage(Handle port, std::uint32_t milliseconds,
                                            JobMessage& message) = 0;
    // True only when the job's count of active processes reads 0.
    virtual bool JobIsEmpty(Handle job) = 0;
    // What every process that ran in the job has cost, ended ones included, and the job's peak.
    virtual RunCost JobCost(Handle job) = 0;
    // A process by id, open for reading and changing its settings; null when it has ended or may
    // not be opened. The caller closes it.
    virtual Handle OpenProcessForSettings(std::uint32_t processId) = 0;
    virtual bool IsProcessInJob(Handle process, Handle job) = 0;
    // Whether a process may be in more than one job (Windows 8 and later), and whether Vantrel
    // itself runs in a job.
    virtual bool JobsNest() = 0;
    virtual bool RunsInJob() = 0;

    // Vantrel itself: its process id, its executable's full path, and the current directory.
    virtual std::uint32_t ProcessId() = 0;
    virtual std::wstring ModulePath() = 0;
    virtual std::wstring CurrentDirectory() = 0;
    // A process by id, open for waiting on it and reading when it started; null when there is none
    // by that id or it may not be opened. The caller closes it.
    virtual Handle OpenParent(std::uint32_t processId) = 0;
    // When a process from OpenParent, or Vantrel itself when null, was created, in the system's
    // units: with its id it names one process, as an id alone cannot once the id is reused. Never
    // read as a clock; 0 when the system does not tell.
    virtual std::uint64_t StartTimeOf(Handle process) = 0;
    // Lets an elevated run of any administrator's account open Vantrel's own process to wait on
    // it and read when it started, and for nothing else; 0, or the error code.
    virtual std::uint32_t AllowAdministratorsToWait() = 0;
    // The window that the consent prompt of an elevated start should belong to, so that it opens
    // in front of it: the console's in the console build; null in the windowed build.
    virtual Handle PromptOwner() = 0;
    // Starts a program elevated, after the user's consent; 0 with its process, the caller's to
    // close, in `process`, or the error code (ERROR_CANCELLED when the user declined).
    virtual std::uint32_t StartElevated(const ElevatedStart& start, Handle& process) = 0;

    // The stop at a time limit, which asks the tree to close before anything is ended, and the
    // report's place. The ids of the processes in the job now; none when the system does not say.
    virtual std::vector<std::uint32_t> JobProcessIds(Handle job) = 0;
    // The calls below take the ids of processes that the caller holds open, so that no id can
    // come to name another process while they act.
    // Posts WM_CLOSE to every top-level window on Vantrel's desktop of these processes; how many.
    virtual std::uint32_t CloseWindowsOf(const std::vector<std::uint32_t>& processIds) = 0;
    // Only where Vantrel has no console: attaches to the process's console, sends Ctrl+Break to
    // it and detaches, leaving Vantrel as it was. The ids of the processes on that console; none
    // when it has none or the signal failed.
    virtual std::vector<std::uint32_t> BreakConsoleOf(std::uint32_t processId) = 0;
    // Sends Ctrl+Break to a process group on Vantrel's console; 0, or the error code.
    virtual std::uint32_t BreakGroup(std::uint32_t groupId) = 0;
    // While it is not 0, a Ctrl+C typed on Vantrel's console reaches this group as Ctrl+Break:
    // a group of its own ignores Ctrl+C. The windowed build has no console to type in.
    virtual void PassInterruptsTo(std::uint32_t groupId) = 0;
    // Whether standard error stands at the start of a line: false where that cannot be told.
    virtual bool ErrorAtLineStart() = 0;

    // The log of "/log:": the file opened for appending only, created when missing and shared for
    // reading and writing; null with the system's error code in `error` when it cannot be.
    virtual Handle OpenLog(const std::wstring& path, std::uint32_t& error) = 0;
    // Appends the text to the log in one write, encoded as WriteError encodes it for a file.
    virtual void WriteLog(Handle log, const std::wstring& text) = 0;
    // Whether the log's last character ends a line, an empty log included; false where that
    // cannot be told.
    virtual bool LogAtLineStart(Handle log) = 0;
    virtual LocalTime LocalNow() = 0;
};

}  // namespace modVantrel
