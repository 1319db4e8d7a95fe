#include "launch/launcher.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <limits>
#include <string>
#include <vector>

#include "command/text.h"
#include "launch/owned_handle.h"
#include "launch/poll_until.h"
#include "launch/process_hints.h"

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

// Vantrel's standard handles that are redirected (a file, a pipe, a device such as NUL) reach the
// program, and no other handle does. Once one is passed, the start-up record is all the program
// gets, null slots included, so every slot is filled: the others with Vantrel's console's handles
// where the program shares it, else null, for the program's own console to fill. Without any,
// creation is left as it was.
void PassStandardHandles(Platform& platform, ProcessCreation& creation) {
    const std::array<StandardHandle, 3> handles = platform.StandardHandles();
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
    // Output that is all captured needs no console window, where Vantrel has no console to share.
    if (passed == static_cast<std::ptrdiff_t>(handles.size()) && !sharesConsole) {
        creation.creationFlags |= kCreateNoWindow;
    }
}

// The platform's clock that many milliseconds from now.
std::uint64_t Later(Platform& platform, std::uint32_t milliseconds) {
    return platform.MonotonicMicroseconds() + std::uint64_t{milliseconds} * 1000;
}

// A step of a wait: at most `pollInterval` milliseconds, and not past `end` on the platform's
// clock.
std::uint32_t StepUntil(Platform& platform, std::uint64_t end, std::uint32_t pollInterval) {
    const std::uint64_t now = platform.MonotonicMicroseconds();
    const std::uint64_t left = end > now ? (end - now - 1) / 1000 + 1 : 0;  // rounded up
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(left, pollInterval));
}

// The program's process tree: a job that every process the program starts joins, and the port on
// which the job reports each one. Closing the job ends every process still in it, so the tree
// never outlives a Vantrel that is ended while it waits.
class Tree {
  public:
    Tree(Platform& platform, std::uint32_t priorityClass, const ProcessControls& controls)
        : platform_(platform),
          priorityClass_(priorityClass),
          controls_(controls),
          job_(platform),
          port_(platform) {}

    // Puts the suspended program into a new job with the limits asked for and gives it what every
    // member gets. The port is joined to the job first, so that it hears of the program too.
    std::uint32_t Adopt(Handle program, const ProcessControls& controls) {
        std::uint32_t error =
            platform_.CreateTreeJob(LimitsFor(controls), job_.receive(), port_.receive());
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
            memoryLimitHit_ = memoryLimitHit_ || message.id == kJobMemoryLimit;
            if (message.id != kJobActiveProcessZero) {
                return false;
            }
        }
        return platform_.JobIsEmpty(job_.get());
    }

    // Ends every member with ERROR_TIMEOUT as its exit code, then waits, at most the grace time,
    // until the job's count reads 0. A refusal to end them changes nothing: closing the job ends
    // them all the same.
    void End(std::uint32_t pollInterval) {
        platform_.TerminateJob(job_.get(), kErrorTimeout);
        const std::uint64_t graceEnd = Later(platform_, kTreeEndGraceMs);
        PollUntil(platform_, nullptr, [&] {
            return Ended(StepUntil(platform_, graceEnd, pollInterval)) ||
                   platform_.MonotonicMicroseconds() >= graceEnd;
        });
    }

    bool MemoryLimitHit() const { return memoryLimitHit_; }

    // What every process of the tree has cost, read while the job is still open.
    RunCost Cost() { return platform_.JobCost(job_.get()); }

  private:
    static JobLimits LimitsFor(const ProcessControls& controls) {
        JobLimits limits;
        limits.limitFlags = kJobLimitKillOnJobClose | kJobLimitBreakawayOk;
        if (controls.memoryLimit != 0) {
            limits.limitFlags |= kJobLimitJobMemory;
            limits.jobMemoryLimit = controls.memoryLimit;
        }
        if (controls.cpuPercent != 0) {
            limits.cpuRateFlags = kCpuRateEnable | kCpuRateHardCap;
            limits.cpuRate = controls.cpuPercent * 100;
        }
        return limits;
    }

    // What every member gets: the class, and the hints, whose refusal changes nothing.
    std::uint32_t Settle(Handle process) {
        const std::uint32_t error = platform_.SetPriority(process, priorityClass_);
        GiveHints(platform_, process, controls_);
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
    const ProcessControls& controls_;
    bool memoryLimitHit_ = false;
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
          LaunchOutcome& outcome) {
    const std::uint32_t pollInterval = request.pollInterval;
    if (tree != nullptr) {
        // The time limit is a deadline in the same wait, counted from the resume: no step lasts
        // past it.
        const std::uint32_t limit = request.controls.timeLimitMs;
        const std::uint64_t deadline = limit != 0 ? Later(platform, limit) : ~std::uint64_t{0};
        outcome.parentEnded = !PollUntil(platform, request.parent, [&] {
            if (tree->Ended(StepUntil(platform, deadline, pollInterval))) {
                return true;
            }
            outcome.timedOut = platform.MonotonicMicroseconds() >= deadline;
            return outcome.timedOut;
        });
        if (outcome.timedOut) {
            tree->End(pollInterval);
        }
        outcome.memoryLimitHit = tree->MemoryLimitHit();
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
    Wait(platform, processInfo.process, request, controls.tree ? &tree : nullptr, outcome);
    if (request.report) {
        outcome.elapsedMicroseconds = platform.MonotonicMicroseconds() - letRun;
        outcome.cost = controls.tree ? tree.Cost() : platform.ProcessCost(processInfo.process);
    }
    return outcome;
}

}  // namespace modVantrel
