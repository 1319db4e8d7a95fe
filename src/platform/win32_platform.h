// The platform services taken from Windows, through the wide-character calls only.
#pragma once

#include "platform/platform.h"

namespace modVantrel {

class Win32Platform final : public Platform {
  public:
    std::wstring CommandText() override;
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
};

}  // namespace modVantrel
