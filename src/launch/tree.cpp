#include "launch/tree.h"

#include <algorithm>
#include <deque>
#include <vector>

#include "launch/poll_until.h"
#include "launch/process_hints.h"

namespace modVantrel {
namespace {

// The platform's clock that many milliseconds from now.
std::uint64_t Later(Platform& platform, std::uint32_t milliseconds) {
    return platform.MonotonicMicroseconds() + std::uint64_t{milliseconds} * 1000;
}

// A step of a wait: at most `pollInterval` milliseconds, and not past `end` on the platform's
// clock.
std::uint32_t StepUntil(Platform& platform, std::uint64_t end, std::uint32_t pollInterval) {
    return static_cast<std::uint32_t>(
        std::min<std::uint64_t>(MillisecondsUntil(platform, end), pollInterval));
}

// For as long as it lives, a Ctrl+C typed on Vantrel's console reaches the program's own group,
// if it has one, as Ctrl+Break: Ctrl+C still stops the program, as it does without a group.
class InterruptsPassed {
  public:
    InterruptsPassed(Platform& platform, std::uint32_t group) : platform_(platform), group_(group) {
        if (group_ != 0) {
            platform_.PassInterruptsTo(group_);
        }
    }
    ~InterruptsPassed() {
        if (group_ != 0) {
            platform_.PassInterruptsTo(0);
        }
    }
    InterruptsPassed(const InterruptsPassed&) = delete;
    InterruptsPassed& operator=(const InterruptsPassed&) = delete;

  private:
    Platform& platform_;
    std::uint32_t group_;
};

}  // namespace

Tree::Tree(Platform& platform, std::uint32_t priorityClass, const ProcessControls& controls)
    : platform_(platform),
      priorityClass_(priorityClass),
      controls_(controls),
      job_(platform),
      port_(platform) {}

std::uint32_t Tree::Adopt(Handle program, const ProcessControls& controls) {
    std::uint32_t error =
        platform_.CreateTreeJob(LimitsFor(controls), job_.receive(), port_.receive());
    if (error == 0) {
        error = platform_.AssignToJob(job_.get(), program);
    }
    return error == 0 ? Settle(program) : error;
}

void Tree::Wait(Handle program, std::uint32_t group, const LaunchRequest& request,
                LaunchOutcome& outcome) {
    const std::uint32_t pollInterval = request.pollInterval;
    stop_.graceMs = request.controls.graceMs;
    stop_.group = group;
    parent_ = request.parent;
    {
        const InterruptsPassed passed(platform_, group);
        // The time limit is a deadline in the same wait, counted from the resume: no step lasts
        // past it.
        const std::uint32_t limit = request.controls.timeLimitMs;
        const std::uint64_t deadline = limit != 0 ? Later(platform_, limit) : ~std::uint64_t{0};
        outcome.parentEnded = !PollUntil(platform_, request.parent, [&] {
            if (Ended(StepUntil(platform_, deadline, pollInterval))) {
                return true;
            }
            outcome.timedOut = platform_.MonotonicMicroseconds() >= deadline;
            return outcome.timedOut;
        });
        if (outcome.timedOut) {
            Stop(pollInterval);
            outcome.stop = stop_;
            outcome.parentEnded = parentEnded_;
        }
    }
    outcome.memoryLimitHit = memoryLimitHit_;
    if (!outcome.parentEnded) {
        outcome.exitCode = platform_.ExitCodeOf(program);
    }
}

JobLimits Tree::LimitsFor(const ProcessControls& controls) {
    JobLimits limits;
    // A process that left the job would escape every limit, so only a tree without any may.
    limits.limitFlags = kJobLimitKillOnJobClose | (controls.Limited() ? 0 : kJobLimitBreakawayOk);
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

// One step of the wait, at most `milliseconds` long: true once no process is left in the job.
// The job's own count decides: the port's messages may be lost, and a job nested inside the tree
// reports its own end to this port as well.
bool Tree::Ended(std::uint32_t milliseconds) {
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

// Steps of the wait until the tree has ended, true, or the clock reads `end` or the parent has
// ended, false.
bool Tree::EndedBy(std::uint64_t end, std::uint32_t pollInterval) {
    bool ended = false;
    parentEnded_ = !PollUntil(platform_, parent_, [&] {
        ended = Ended(StepUntil(platform_, end, pollInterval));
        return ended || platform_.MonotonicMicroseconds() >= end;
    });
    return ended;
}

// At the deadline: the tree is asked to close and given the grace to do so; what is left then is
// ended with ERROR_TIMEOUT as its exit code, and given a while to empty. A refusal to end them
// changes nothing: closing the job ends them all the same. The parent's end cuts the stop short,
// and what is left is ended so, when the job closes.
void Tree::Stop(std::uint32_t pollInterval) {
    if (stop_.graceMs != 0) {
        Ask();
        if (EndedBy(Later(platform_, stop_.graceMs), pollInterval) || parentEnded_) {
            stop_.ended = parentEnded_;
            return;
        }
    }
    stop_.ended = true;
    platform_.TerminateJob(job_.get(), kErrorTimeout);
    EndedBy(Later(platform_, kEndedTreeWaitMs), pollInterval);
}

// Windowed programs are asked as their close box asks them, console programs as Ctrl+Break asks
// them: in the program's own group where it shares Vantrel's console, so that nobody else on it
// is reached, else on each console of the tree's own, once. Each member is held open meanwhile, so
// that its id names it throughout, even once it has agreed to close.
void Tree::Ask() {
    std::deque<OwnedHandle> held;
    std::vector<std::uint32_t> members;
    for (const std::uint32_t id : platform_.JobProcessIds(job_.get())) {
        if (held.emplace_back(platform_, OpenMember(id)).get() != nullptr) {
            members.push_back(id);
        }
    }
    stop_.windowsAsked = platform_.CloseWindowsOf(members);
    if (stop_.group != 0) {
        stop_.consolesAsked = platform_.BreakGroup(stop_.group) == 0 ? 1 : 0;
        return;
    }
    std::vector<std::uint32_t> reached;
    for (const std::uint32_t member : members) {
        if (std::find(reached.begin(), reached.end(), member) == reached.end()) {
            const std::vector<std::uint32_t> onConsole = platform_.BreakConsoleOf(member);
            stop_.consolesAsked += onConsole.empty() ? 0 : 1;
            reached.insert(reached.end(), onConsole.begin(), onConsole.end());
        }
    }
}

// What every member gets: the class, and the hints, whose refusal changes nothing.
std::uint32_t Tree::Settle(Handle process) {
    const std::uint32_t error = platform_.SetPriority(process, priorityClass_);
    GiveHints(platform_, process, controls_);
    return error;
}

// A member by id, opened, or null. Ids are reused once a process has ended, so the process opened
// must be confirmed in the job before anything acts on it; one that has gone is skipped.
Handle Tree::OpenMember(std::uint32_t processId) {
    Handle member = platform_.OpenProcessForSettings(processId);
    if (member != nullptr && !platform_.IsProcessInJob(member, job_.get())) {
        CloseOwned(platform_, member);
    }
    return member;
}

// A new member gets what every member gets.
void Tree::Join(std::uint32_t processId) {
    const OwnedHandle member(platform_, OpenMember(processId));
    if (member.get() != nullptr) {
        Settle(member.get());
    }
}

}  // namespace modVantrel
