// vantrel.exe's way of speaking to its user: message boxes, the busy pointer and a message pump,
// and standard error where nobody could answer a box.
#pragma once

#include "platform/win32_platform.h"

namespace modVantrel {

class WindowedPlatform final : public Win32Platform {
  public:
    bool CanShowBoxes() override;
    bool SharesConsole() override;
    void ShowMessage(const std::wstring& text) override;
    void WriteOutput(const std::wstring& text) override;
    void WriteReport(const std::wstring& line) override;
    void PumpMessages() override;
    void WaitForInputIdle(Handle process) override;
    void SetBusy(bool busy) override;
    void PassInterruptsTo(std::uint32_t groupId) override;
    Handle PromptOwner() override;
    [[noreturn]] void Fatal(FatalKind kind) override;
};

}  // namespace modVantrel
