// The program's process tree: its job, its wait, its deadline and the stop at the deadline.
#pragma once

#include <cstdint>

#include "launch/launcher.h"
#include "launch/owned_handle.h"
#include "platform/platform.h"

namespace modVantrel {

// A job that every process the program starts joins, and the port on which the job reports each
// one. Closing the job ends every process still in it, so the tree never outlives a Vantrel that
// is ended while it waits.
class Tree {
  public:
    Tree(Platform& platform, std::uint32_t priorityClass, const ProcessControls& controls);

    // Puts the suspended program into a new job with the limits asked for and gives it what every
    // member gets. The port is joined to the job first, so that it hears of the program too.
    std::uint32_t Adopt(Handle program, const ProcessControls& controls);

    // Waits until the last process has ended, the request's parent has (also during the stop), or
    // the time limit is reached and the stop is over; `group` is the program's own process group,
    // or 0. A wait cut short by the parent's end leaves the exit code unread: the program may still
    // run.
    void Wait(Handle program, std::uint32_t group, const LaunchRequest& request,
              LaunchOutcome& outcome);

    // What every process of the tree has cost, read while the job is still open.
    RunCost Cost() { return platform_.JobCost(job_.get()); }

  private:
    static JobLimits LimitsFor(const ProcessControls& controls);
    bool Ended(std::uint32_t milliseconds);
    bool EndedBy(std::uint64_t end, std::uint32_t pollInterval);
    void Stop(std::uint32_t pollInterval);
    void Ask();
    std::uint32_t Settle(Handle process);
    Handle OpenMember(std::uint32_t processId);
    void Join(std::uint32_t processId);

    Platform& platform_;
    std::uint32_t priorityClass_;
    const ProcessControls& controls_;
    bool memoryLimitHit_ = false;
    Handle parent_ = nullptr;  // the request's, watched in every wait
    bool parentEnded_ = false;
    DeadlineStop stop_;
    OwnedHandle job_;
    OwnedHandle port_;
};

}  // namespace modVantrel
