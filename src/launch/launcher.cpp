#include "launch/launcher.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "launch/owned_handle.h"
#include "launch/poll_until.h"
#include "launch/process_hints.h"
#include "launch/tree.h"

namespace modVantrel {
namespace {

// Marks the launch as under way for as long as it lives: the busy pointer, or Ctrl+C left to the
// program.
class Busy {
  public:
    explicit Busy(Platform& platform) : platform_(platform) { platform_.SetBusy(true); }
    ~Busy() { platform_.SetBusy(false); }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

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
        CloseOwned(platform_, info_.thread);
        CloseOwned(platform_, info_.process);
    }
    ProcessHandles(const ProcessHandles&) = delete;
    ProcessHandles& operator=(const ProcessHandles&) = delete;

  private:
    Platform& platform_;
    ProcessInformation& info_;
};

// Vantrel's standard handles that are redirected (a file, a pipe, a device such as NUL) reach the
// program, and no other handle does. Once one is passed, the start-up record is all the program
// gets, null slots included, so every slot is filled: the others with Vantrel's console's handles
// where the program shares it, else null, for the program's own console to fill. Without any,
// creation is left as it was. An `output` stands for Vantrel's output and error. No unit row pins
// these rules: the whole-run fuzz target checks every slot against them, which suffices only while
// it does.
void PassStandardHandles(Platform& platform, Handle output, ProcessCreation& creation) {
    std::array<StandardHandle, 3> handles = platform.StandardHandles();
    if (output != nullptr) {
        handles[1] = handles[2] = {output, true};
    }
    const auto redirected = [](const StandardHandle& handle) { return handle.redirected; };
    const auto passed = std::count_if(handles.begin(), handles.end(), redirected);
    if (passed == 0) {
        return;
    }
    const bool sharesConsole = platform.SharesConsole();
    for (std::size_t i = 0; i < handles.size(); ++i) {
        const Handle handle = handles[i].redirected || sharesConsole ? handles[i].handle : nullptr;
        creation.startup.standardHandles[i] = handle;
        std::vector<Handle>& list = creation.inheritedHandles;
        if (handle != nullptr && std::find(list.begin(), list.end(), handle) == list.end()) {
            list.push_back(handle);
        }
    }
    creation.startup.flags |= kStartfUseStdHandles;
    creation.inheritHandles = true;
    creation.creationFlags |= kExtendedStartupInfoPresent;
    // Output that is all captured needs no console window, where Vantrel has no console to share:
    // nor does a program whose output goes to the log, whose input can then be no console either.
    const bool allPassed = passed == static_cast<std::ptrdiff_t>(handles.size());
    if ((allPassed || output != nullptr) && !sharesConsole) {
        creation.creationFlags |= kCreateNoWindow;
    }
}

// Brings the suspended program to what `controls` ask and lets it run; 0, or the error code of
// the step that failed.
std::uint32_t SetUp(Platform& platform, const ProcessInformation& info,
                    const ProcessControls& controls, Tree& tree) {
    std::uint32_t error = 0;
    if (controls.affinityMask != 0) {
        error = platform.SetAffinity(info.process, controls.affinityMask);
    }
    if (error == 0 && controls.tree) {
        error = tree.Adopt(info.process, controls);
    } else if (error == 0) {
        GiveHints(platform, info.process, controls);
    }
    return error == 0 ? platform.ResumeThread(info.thread) : error;
}

// Creates the program; true when it was. Where jobs do not nest (before Windows 8), the tree's job
// can take the program only if it leaves the job that Vantrel runs in, which it must ask for at
// creation. A job that forbids leaving refuses that creation with 5: the program is then created
// in it, and the assignment's failure is reported as where nothing was asked.
bool Create(Platform& platform, ProcessCreation& creation, bool tree, ProcessInformation& info,
            std::uint32_t& error) {
    const bool breakAway = tree && platform.RunsInJob() && !platform.JobsNest();
    if (breakAway) {
        creation.creationFlags |= kCreateBreakawayFromJob;
    }
    if (platform.StartProcess(creation, info, error)) {
        return true;
    }
    if (!breakAway || error != kErrorAccessDenied) {
        return false;
    }
    creation.creationFlags &= ~kCreateBreakawayFromJob;
    return platform.StartProcess(creation, info, error);
}

// A wait cut short by the parent's end leaves the exit code unread: the program may still run.
void Wait(Platform& platform, Handle process, const LaunchRequest& request, Tree* tree,
          std::uint32_t group, LaunchOutcome& outcome) {
    const std::uint32_t pollInterval = request.pollInterval;
    if (tree != nullptr) {
        tree->Wait(process, group, request, outcome);
        return;
    }
    switch (request.waitMode) {
        case kWaitNone:
            return;
        case kWaitPolling:
            // Any result but a time-out ends the wait, failures included.
            outcome.parentEnded = !PollUntil(platform, request.parent, [&] {
                return platform.WaitForProcess(process, pollInterval) != kWaitTimeout;
            });
            if (outcome.parentEnded) {
                return;
            }
            break;
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

// The path goes in quotes at the head, so that a path with spaces is one argument to the program;
// the arguments follow as they are, since even a trailing blank may stand inside their quotes.
std::wstring BuildCommandLine(std::wstring_view path, std::wstring_view arguments) {
    std::wstring line;
    line.reserve(path.size() + arguments.size() + 3);
    line += L'"';
    line += path;
    line += L'"';
    if (!arguments.empty()) {
        line += L' ';
        line += arguments;
    }
    return line;
}

LaunchOutcome LaunchProgram(Platform& platform, const LaunchRequest& request,
                            ProcessInformation& processInfo) {
    const ProcessControls& controls = request.controls;
    ProcessCreation creation;
    creation.applicationName.assign(request.path);
    creation.commandLine = BuildCommandLine(request.path, request.arguments);
    creation.inheritHandles = request.inheritHandles;
    creation.creationFlags = request.creationFlags | (controls.Any() ? kCreateSuspended : 0);
    // A program that shares Vantrel's console gets a group of its own under a time limit, so that
    // the stop's Ctrl+Break reaches the tree and nobody else on the console.
    const bool ownGroup = controls.timeLimitMs != 0 && platform.SharesConsole();
    if (ownGroup) {
        creation.creationFlags |= kCreateNewProcessGroup;
    }

    const Busy busy(platform);
    PassStandardHandles(platform, request.output, creation);
    // A show command the system does not define is passed as none, as if none was given.
    if (request.showWindow >= 0 && request.showWindow <= kMaxShowCommand) {
        creation.startup.flags |= kStartfUseShowWindow;
        creation.startup.showWindow = static_cast<std::int16_t>(request.showWindow);
    }

    // Declared after the process handles, so that the job closes first: whatever of the tree is
    // left by then ends with it.
    const ProcessHandles handles(platform, processInfo);
    Tree tree(platform, request.creationFlags, controls);
    LaunchOutcome outcome;
    if (!Create(platform, creation, controls.tree, processInfo, outcome.error)) {
        return outcome;
    }
    outcome.error = controls.Any() ? SetUp(platform, processInfo, controls, tree) : 0;
    if (outcome.error != 0) {
        platform.TerminateProcess(processInfo.process, outcome.error);
        return outcome;
    }
    outcome.created = 1;
    // Both clock readings and the query only with a report, so that a run without one is as fast
    // as ever.
    const std::uint64_t letRun = request.report ? platform.MonotonicMicroseconds() : 0;
    Wait(platform, processInfo.process, request, controls.tree ? &tree : nullptr,
         ownGroup ? processInfo.processId : 0, outcome);
    if (request.report) {
        outcome.elapsedMicroseconds = platform.MonotonicMicroseconds() - letRun;
        outcome.cost = controls.tree ? tree.Cost() : platform.ProcessCost(processInfo.process);
    }
    return outcome;
}

}  // namespace modVantrel
