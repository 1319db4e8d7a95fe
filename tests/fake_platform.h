// A recording stand-in for Windows: answers as each test scripts it and logs every call in order.
#pragma once

#include <cstdint>
#include <deque>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace modVantrel::testing {

struct FatalCalled {
    FatalKind kind;
};

class FakePlatform : public Platform {
  public:
    // What the fake answers.
    std::wstring commandText;
    std::set<std::wstring> files;  // patterns that the lookup finds
    bool findsEveryFile = false;   // the lookup finds every pattern (the fuzz target's choice)
    bool startSucceeds = true;
    std::uint32_t startError = 2;
    std::deque<std::uint32_t> waitResults;  // in order; 0 (the process ended) once exhausted
    std::uint32_t exitCode = 0;

    // What it saw.
    std::vector<std::string> calls;
    std::vector<std::wstring> messages;
    std::vector<std::wstring> lookups;
    std::vector<ProcessCreation> creations;
    std::set<Handle> openHandles;

    static inline Handle const kProcess = reinterpret_cast<Handle>(0x1000);
    static inline Handle const kThread = reinterpret_cast<Handle>(0x2000);

    std::wstring CommandText() override {
        calls.push_back("CommandText");
        return commandText;
    }
    void ShowMessage(const std::wstring& text) override {
        calls.push_back("ShowMessage");
        messages.push_back(text);
    }
    std::wstring LookupFile(const std::wstring& pattern) override {
        calls.push_back("LookupFile");
        lookups.push_back(pattern);
        return findsEveryFile || files.count(pattern) != 0 ? L"found.exe" : L"";
    }
    void PumpMessages() override { calls.push_back("Pump"); }
    void SetBusyPointer(bool busy) override { calls.push_back(busy ? "BusyOn" : "BusyOff"); }
    [[noreturn]] void Fatal(FatalKind kind) override {
        calls.push_back("Fatal");
        throw FatalCalled{kind};
    }
    bool StartProcess(ProcessCreation& creation, ProcessInformation& info,
                      std::uint32_t& error) override {
        calls.push_back("StartProcess");
        creations.push_back(creation);
        if (!startSucceeds) {
            error = startError;
            return false;
        }
        info = {kProcess, kThread, 41, 42};
        openHandles = {kProcess, kThread};
        return true;
    }
    std::uint32_t WaitForProcess(Handle process, std::uint32_t milliseconds) override {
        std::uint32_t result = 0;
        if (!waitResults.empty()) {
            result = waitResults.front();
            waitResults.pop_front();
        }
        calls.push_back("Wait(" + Name(process) + "," + std::to_string(milliseconds) +
                        ")=" + std::to_string(result));
        return result;
    }
    void WaitForInputIdle(Handle process) override {
        calls.push_back("Idle(" + Name(process) + ")");
    }
    std::uint32_t ExitCodeOf(Handle process) override {
        calls.push_back("ExitCode(" + Name(process) + ")");
        return exitCode;
    }
    void CloseHandle(Handle handle) override {
        calls.push_back("Close(" + Name(handle) + ")");
        openHandles.erase(handle);
    }

    int MessageCount() const { return static_cast<int>(messages.size()); }

  private:
    static std::string Name(Handle handle) {
        if (handle == kProcess) {
            return "process";
        }
        return handle == kThread ? "thread" : "other";
    }
};

}  // namespace modVantrel::testing
