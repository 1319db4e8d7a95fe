// The platform services taken from Windows, through the wide-character calls only.
#pragma once

#include "platform/platform.h"

namespace modVantrel {

class Win32Platform : public Platform {
  public:
    std::wstring CommandText() override;
    std::int32_t ShowCommand() override;
    void ShowMessage(const std::wstring& text) override;
    std::wstring LookupFile(const std::wstring& pattern) override;
    void PumpMessages() override;
    void SetBusyPointer(bool busy) override;
    [[noreturn]] void Fatal(FatalKind kind) override;
    bool StartProcess(ProcessCreation& creation, ProcessInformation& info,
                      std::uint32_t& error) override;
    std::uint32_t WaitForProcess(Handle process, std::uint32_t milliseconds) override;
    void WaitForInputIdle(Handle process) override;
    std::uint32_t ExitCodeOf(Handle process) override;
    void CloseHandle(Handle handle) override;
    std::uint64_t SystemAffinityMask() override;
    std::uint32_t SetAffinity(Handle process, std::uint64_t mask) override;
    std::uint32_t SetPriority(Handle process, std::uint32_t priorityClass) override;
    bool SetEfficiencyMode(Handle process) override;
    std::uint32_t ResumeThread(Handle thread) override;
    void TerminateProcess(Handle process, std::uint32_t exitCode) override;
    std::uint32_t CreateTreeJob(Handle& job, Handle& port) override;
    std::uint32_t AssignToJob(Handle job, Handle process) override;
    std::uint32_t WaitForJobMessage(Handle port, std::uint32_t milliseconds,
                                    JobMessage& message) override;
    bool JobIsEmpty(Handle job) override;
    Handle OpenProcessForSettings(std::uint32_t processId) override;
    bool IsProcessInJob(Handle process, Handle job) override;
    // In win32_elevation.cpp.
    std::uint32_t ProcessId() override;
    std::wstring ModulePath() override;
    std::wstring CurrentDirectory() override;
    Handle OpenParent(std::uint32_t processId) override;
    std::uint32_t StartElevated(const ElevatedStart& start, Handle& process) override;
};

}  // namespace modVantrel
