#include "launch/launcher.h"

#include <limits>
#include <string>

#include "command/text.h"

namespace modVantrel {
namespace {

// Shows the hourglass for as long as it lives.
class BusyPointer {
  public:
    explicit BusyPointer(Platform& platform) : platform_(platform) {
        platform_.SetBusyPointer(true);
    }
    ~BusyPointer() { platform_.SetBusyPointer(false); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;

  private:
    Platform& platform_;
};

// Owns the handles that creation puts into the record: closes the thread's, then the process's,
// on every way out, and leaves the record without them.
class ProcessHandles {
  public:
    ProcessHandles(Platform& platform, ProcessInformation& info)
        : platform_(platform), info_(info) {}
    ~ProcessHandles() {
        Close(info_.thread);
        Close(info_.process);
    }
    ProcessHandles(const ProcessHandles&) = delete;
    ProcessHandles& operator=(const ProcessHandles&) = delete;

  private:
    void Close(Handle& handle) {
        if (handle != nullptr) {
            platform_.CloseHandle(handle);
            handle = nullptr;
        }
    }

    Platform& platform_;
    ProcessInformation& info_;
};

// The path goes in quotes at the head, so that a path with spaces is one argument to the program.
std::wstring BuildCommandLine(std::wstring_view path, std::wstring_view arguments) {
    std::wstring line;
    line.reserve(path.size() + arguments.size() + 3);
    line += L'"';
    line += path;
    line += L"\" ";
    line += arguments;
    return std::wstring(TrimSpaces(line));
}

void Wait(Platform& platform, Handle process, std::int16_t waitMode, std::uint32_t pollInterval,
          LaunchOutcome& outcome) {
    switch (waitMode) {
        case kWaitNone:
            return;
        case kWaitPolling: {
            std::uint32_t result = kWaitTimeout;
            do {
                result = platform.WaitForProcess(process, pollInterval);
                platform.PumpMessages();
            } while (result == kWaitTimeout);
            break;
        }
        case kWaitIdleThenEnd:
            platform.WaitForInputIdle(process);
            platform.WaitForProcess(process, kInfinite);
            break;
        default:
            platform.WaitForInputIdle(process);
            return;
    }
    outcome.exitCode = platform.ExitCodeOf(process);
}

}  // namespace

LaunchOutcome LaunchProgram(Platform& platform, std::wstring_view path, std::wstring_view arguments,
                            std::uint32_t creationFlags, std::int16_t waitMode,
                            std::int32_t showWindow, bool inheritHandles,
                            ProcessInformation& processInfo, std::uint32_t pollInterval) {
    ProcessCreation creation;
    creation.applicationName.assign(path);
    creation.commandLine = BuildCommandLine(path, arguments);
    creation.inheritHandles = inheritHandles;
    creation.creationFlags = creationFlags;

    const BusyPointer busy(platform);
    if (showWindow > 0) {
        if (showWindow > std::numeric_limits<std::int16_t>::max()) {
            platform.Fatal(FatalKind::Overflow);
        }
        creation.startup.flags = kStartfUseShowWindow;
        creation.startup.showWindow = static_cast<std::int16_t>(showWindow);
    }

    const ProcessHandles handles(platform, processInfo);
    LaunchOutcome outcome;
    outcome.created = platform.StartProcess(creation, processInfo, outcome.error) ? 1 : 0;
    if (outcome.created != 0) {
        outcome.error = 0;
        Wait(platform, processInfo.process, waitMode, pollInterval, outcome);
    }
    return outcome;
}

}  // namespace modVantrel
