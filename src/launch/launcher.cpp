#include "launch/launcher.h"

#include <algorithm>
#include <array>
#include <limits>
#include <string>
#include <vector>

#include "command/text.h"
#include "launch/owned_handle.h"
#include "launch/poll_until.h"

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

// Vantrel's standard handles that lead to a file, a pipe or a device such as NUL reach the
// program, and no other handle does; the others stay null, so that the program's console fills
// them. Without any, creation is left as it was.
void PassStandardHandles(Platform& platform, ProcessCreation& creation) {
    const std::array<StandardHandle, 3> handles = platform.StandardHandles();
    std::size_t passed = 0;
    for (std::size_t i = 0; i < handles.size(); ++i) {
        if (!handles[i].redirected) {
            continue;
        }
        const Handle handle = handles[i].handle;
        creation.startup.standardHandles[i] = handle;
        std::vector<Handle>& list = creation.inheritedHandles;
        if (std::find(list.begin(), list.end(), handle) == list.end()) {
            list.push_back(handle);
        }
        ++passed;
    }
    if (passed == 0) {
        return;
    }
    creation.startup.flags |= kStartfUseStdHandles;
    creation.inheritHandles = true;
    creation.creationFlags |= kExtendedStartupInfoPresent;
    // Output that is all captured needs no console window, where Vantrel has no console to share.
    if (passed == handles.size() && !platform.SharesConsole()) {
        creation.creationFlags |= kCreateNoWindow;
    }
}

// The program's process tree: a job that every process the program starts joins, and the port on
// which the job reports each one. Closing the job ends every process still in it, so the tree
// never outlives a Vantrel that is ended while it waits.
class Tree {
  public:
    Tree(Platform& platform, std::uint32_t priorityClass, bool efficiency)
        : platform_(platform),
          priorityClass_(priorityClass),
          efficiency_(efficiency),
          job_(platform),
          port_(platform) {}

    // Puts the suspended program into a new job and gives it what every member gets. The port
    // is joined to the job first, so that it hears of the program too.
    std::uint32_t Adopt(Handle program) {
        std::uint32_t error = platform_.CreateTreeJob(job_.receive(), port_.receive());
        if (error == 0) {
            error = platform_.AssignToJob(job_.get(), program);
        }
        return error == 0 ? Settle(program) : error;
    }

    // One step of the wait, at most `milliseconds` long: true once no process is left in the job.
    // The job's own count decides: the port's messages may be lost, and a job nested inside the
    // tree reports its own end to this port as well.
    bool Ended(std::uint32_t milliseconds) {
        JobMessage message;
        if (platform_.WaitForJobMessage(port_.get(), milliseconds, message) == 0) {
            if (message.id == kJobNewProcess) {
                Join(message.processId);
            }
            if (message.id != kJobActiveProcessZero) {
                return false;
            }
        }
        return platform_.JobIsEmpty(job_.get());
    }

    // What every process of the tree has cost, read while the job is still open.
    RunCost Cost() { return platform_.JobCost(job_.get()); }

  private:
    // What every member gets; efficiency mode is a hint whose refusal changes nothing.
    std::uint32_t Settle(Handle process) {
        const std::uint32_t error = platform_.SetPriority(process, priorityClass_);
        if (efficiency_) {
            platform_.SetEfficiencyMode(process);
        }
        return error;
    }

    // A new member, by id. Ids are reused once a process has ended, so the process opened must
    // be checked to be in the job before anything is changed; one that has gone is skipped.
    void Join(std::uint32_t processId) {
        const OwnedHandle member(platform_, platform_.OpenProcessForSettings(processId));
        if (member.get() != nullptr && platform_.IsProcessInJob(member.get(), job_.get())) {
            Settle(member.get());
        }
    }

    Platform& platform_;
    std::uint32_t priorityClass_;
    bool efficiency_;
    OwnedHandle job_;
    OwnedHandle port_;
};

// Brings the suspended program to what `controls` ask and lets it run; 0, or the error code of
// the step that failed.
std::uint32_t SetUp(Platform& platform, const ProcessInformation& info,
                    const ProcessControls& controls, Tree& tree) {
    std::uint32_t error = 0;
    if (controls.affinityMask != 0) {
        error = platform.SetAffinity(info.process, controls.affinityMask);
    }
    if (error == 0 && controls.tree) {
        error = tree.Adopt(info.process);
    } else if (error == 0 && controls.efficiency) {
        platform.SetEfficiencyMode(info.process);
    }
    return error == 0 ? platform.ResumeThread(info.thread) : error;
}

// A wait cut short by the parent's end leaves the exit code unread: the program may still run.
void Wait(Platform& platform, Handle process, const LaunchRequest& request, Tree* tree,
          LaunchOutcome& outcome) {
    const std::uint32_t pollInterval = request.pollInterval;
    if (tree != nullptr) {
        outcome.parentEnded =
            !PollUntil(platform, request.parent, [&] { return tree->Ended(pollInterval); });
        if (!outcome.parentEnded) {
            outcome.exitCode = platform.ExitCodeOf(process);
        }
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

LaunchOutcome LaunchProgram(Platform& platform, const LaunchRequest& request,
                            ProcessInformation& processInfo) {
    const ProcessControls& controls = request.controls;
    ProcessCreation creation;
    creation.applicationName.assign(request.path);
    creation.commandLine = BuildCommandLine(request.path, request.arguments);
    creation.inheritHandles = request.inheritHandles;
    creation.creationFlags = request.creationFlags | (controls.Any() ? kCreateSuspended : 0);

    const Busy busy(platform);
    PassStandardHandles(platform, creation);
    if (request.showWindow >= 0) {
        if (request.showWindow > std::numeric_limits<std::int16_t>::max()) {
            platform.Fatal(FatalKind::Overflow);
        }
        creation.startup.flags |= kStartfUseShowWindow;
        creation.startup.showWindow = static_cast<std::int16_t>(request.showWindow);
    }

    // Declared after the process handles, so that the job closes first: whatever of the tree is
    // left by then ends with it.
    const ProcessHandles handles(platform, processInfo);
    Tree tree(platform, request.creationFlags, controls.efficiency);
    LaunchOutcome outcome;
    if (!platform.StartProcess(creation, processInfo, outcome.error)) {
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
    Wait(platform, processInfo.process, request, controls.tree ? &tree : nullptr, outcome);
    if (request.report) {
        outcome.elapsedMicroseconds = platform.MonotonicMicroseconds() - letRun;
        outcome.cost = controls.tree ? tree.Cost() : platform.ProcessCost(processInfo.process);
    }
    return outcome;
}

}  // namespace modVantrel
