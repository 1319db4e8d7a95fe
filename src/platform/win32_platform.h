// The platform services taken from Windows, through the wide-character calls only: the work that
// both builds share, from the kernel alone. How Vantrel speaks to its user is each build's own
// (windowed_platform.h, console_platform.h), so that the console build carries no window code.
#pragma once

#include "platform/platform.h"

namespace modVantrel {

class Win32Platform : public Platform {
  public:
    std::wstring CommandText() override;
    std::int32_t ShowCommand() override;
    void WriteError(const std::wstring& text) override;
    std::optional<std::wstring> EnvironmentVariable(const std::wstring& name) override;
    std::wstring LookupFile(const std::wstring& pattern) override;
    std::array<StandardHandle, 3> StandardHandles() override;
    bool StartProcess(ProcessCreation& creation, ProcessInformation& info,
                      std::uint32_t& error) override;
    std::uint32_t WaitForProcess(Handle process, std::uint32_t milliseconds) override;
    std::uint32_t ExitCodeOf(Handle process) override;
    RunCost ProcessCost(Handle process) override;
    void CloseHandle(Handle handle) override;
    std::uint64_t MonotonicMicroseconds() override;
    std::uint64_t SystemAffinityMask() override;
    std::uint32_t SetAffinity(Handle process, std::uint64_t mask) override;
    std::uint32_t SetPriority(Handle process, std::uint32_t priorityClass) override;
    std::uint32_t ResumeThread(Handle thread) override;
    void TerminateProcess(Handle process, std::uint32_t exitCode) override;
    // In win32_scheduling.cpp.
    bool SetEfficiencyMode(Handle process) override;
    bool SetLowIoPriority(Handle process) override;
    bool SetLowMemoryPriority(Handle process) override;
    std::vector<ProcessorClass> ProcessorClasses() override;
    // In win32_job.cpp.
    std::uint32_t CreateTreeJob(const JobLimits& limits, Handle& job, Handle& port) override;
    std::uint32_t AssignToJob(Handle job, Handle process) override;
    std::uint32_t TerminateJob(Handle job, std::uint32_t exitCode) override;
    std::uint32_t WaitForJobMessage(Handle port, std::uint32_t milliseconds,
                                    JobMessage& message) override;
    bool JobIsEmpty(Handle job) override;
    RunCost JobCost(Handle job) override;
    Handle OpenProcessForSettings(std::uint32_t processId) override;
    bool IsProcessInJob(Handle process, Handle job) override;
    bool JobsNest() override;
    bool RunsInJob() override;
    // In win32_elevation.cpp.
    std::uint32_t ProcessId() override;
    std::wstring ModulePath() override;
    std::wstring CurrentDirectory() override;
    Handle OpenParent(std::uint32_t processId) override;
    std::uint64_t StartTimeOf(Handle process) override;
    std::uint32_t AllowAdministratorsToWait() override;
    std::uint32_t StartElevated(const ElevatedStart& start, Handle& process) override;
    // In win32_job.cpp, win32_stop.cpp and win32_line_start.cpp.
    std::vector<std::uint32_t> JobProcessIds(Handle job) override;
    std::uint32_t CloseWindowsOf(const std::vector<std::uint32_t>& processIds) override;
    std::vector<std::uint32_t> BreakConsoleOf(std::uint32_t processId) override;
    std::uint32_t BreakGroup(std::uint32_t groupId) override;
    bool ErrorAtLineStart() override;
    // In win32_log.cpp.
    Handle OpenLog(const std::wstring& path, std::uint32_t& error) override;
    void WriteLog(Handle log, const std::wstring& text) override;
    bool LogAtLineStart(Handle log) override;
    LocalTime LocalNow() override;

  protected:
    // The text on one of the standard streams (STD_OUTPUT_HANDLE, STD_ERROR_HANDLE).
    static void WriteTo(std::uint32_t stream, const std::wstring& text);
    // A fatal failure's message and the status the process ends with.
    static const wchar_t* FatalText(FatalKind kind);
    static unsigned FatalStatus(FatalKind kind);
};

// The error of the Windows call that just failed; never 0, so that a failure is never taken for
// success.
std::uint32_t LastError();
// 0 when a Windows call that returns a BOOL succeeded, otherwise its error.
std::uint32_t ErrorUnless(int ok);

// Writes the text to a file or a pipe as UTF-8, in one write.
void WriteUtf8(Handle file, const std::wstring& text);
// Whether the character before `end` in a file is a line feed, read through a handle of the
// caller's own so that the shared position stays where it was; true at 0.
bool LineEndsBefore(Handle file, std::uint64_t end);

// One whole run of Main, with running out of memory reported as a fatal failure; the status.
int RunReportingFatal(Platform& platform);

}  // namespace modVantrel
