#include "command/mod_vantrel.h"

#include <algorithm>
#include <vector>

#include "command/command_line_reader.h"
#include "command/help_text.h"
#include "command/program_search.h"
#include "launch/elevation.h"
#include "launch/launcher.h"
#include "launch/owned_handle.h"
#include "launch/poll_until.h"
#include "launch/run_report.h"

namespace modVantrel {
namespace {

constexpr std::wstring_view kUsageLines[] = {
    L"",
    L"Command Usage:",
    L"\tvantrel [/w] /p:(1-6) <exepath>",
    L"",
    L"\t/w\tWaits for program to terminate",
    L"\t/p\tSpecify the priority to run the program at",
    L"",
    L"Priority Values: ",
};

constexpr std::wstring_view kLineEnd = L"\r\n";

// The processors that "/a:ecores" or "/a:pcores" name among those the system offers: those below
// the highest efficiency class, or those in it. Where all share one class, or the system does not
// say, both name every processor, so that a command line for a hybrid processor runs anywhere.
std::uint64_t CoreMask(Platform& platform, Cores cores) {
    const std::uint64_t offered = platform.SystemAffinityMask();
    const std::vector<ProcessorClass> processors = platform.ProcessorClasses();
    const auto [lowest, highest] = std::minmax_element(
        processors.begin(), processors.end(),
        [](const auto& a, const auto& b) { return a.efficiencyClass < b.efficiencyClass; });
    if (processors.empty() || lowest->efficiencyClass == highest->efficiencyClass) {
        return offered;
    }
    std::uint64_t mask = 0;
    for (const ProcessorClass& processor : processors) {
        const bool fastest = processor.efficiencyClass == highest->efficiencyClass;
        if (fastest == (cores == Cores::Performance) && processor.number < 64) {
            mask |= std::uint64_t{1} << processor.number;
        }
    }
    return mask & offered;
}

// The settings that place and bound the program, checked in this order and gathered into
// `controls`: the message of the first that is wrong, or none.
std::wstring_view ReadControls(Platform& platform, const CommandLineRequest& request,
                               ProcessControls& controls) {
    controls.efficiency = request.efficiency;
    controls.background = request.background;
    if (request.affinity) {
        const std::uint64_t mask =
            request.cores != Cores::None ? CoreMask(platform, request.cores) : *request.affinity;
        if (mask == 0 || (mask & ~platform.SystemAffinityMask()) != 0) {
            return kProcessorsMessage;
        }
        controls.affinityMask = mask;
    }
    // Each limit is checked as given, and holds the whole tree through its job.
    if (request.timeLimit == 0U) {
        return kTimeLimitMessage;
    }
    if (request.gracePeriod > kMaxGraceSeconds) {
        return kGracePeriodMessage;
    }
    if (request.cpuLimit == 0U) {
        return kCpuLimitMessage;
    }
    if (request.memoryLimit == 0U) {
        return kMemoryLimitMessage;
    }
    controls.timeLimitMs = request.timeLimit.value_or(0) * 1000;
    controls.cpuPercent = request.cpuLimit.value_or(0);
    controls.memoryLimit = request.memoryLimit.value_or(0);
    controls.graceMs = request.gracePeriod.value_or(kDefaultGraceSeconds) * 1000;
    controls.tree = request.tree || controls.Limited();
    return {};
}

// The status of a run whose program was launched: its own under "/w" and "/t", unless the
// parent's end or the time limit cut the run short.
int StatusOf(const LaunchOutcome& outcome, bool wait) {
    if (outcome.parentEnded) {
        return kExitProcessAborted;
    }
    if (outcome.timedOut) {
        return kExitTimeout;
    }
    return wait ? static_cast<int>(outcome.exitCode) : 0;
}

// Opens the parent named by "/parent:" into `parent` for the launch to watch: 0, or the exit status
// once it is not running (after its message). The elevated run's parent is the first run, named by
// its id and start: when that run has gone nobody waits for this one, which ends silently, and
// when its time limit has run out nothing is launched; else the limit is what is left of it.
int HoldParent(Platform& platform, RunLog& log, const CommandLineRequest& request,
               OwnedHandle& parent, LaunchRequest& launch) {
    const std::uint32_t id = *request.parent;
    parent.receive() = id != 0 ? platform.OpenParent(id) : nullptr;
    const bool running =
        parent.get() != nullptr && platform.WaitForProcess(parent.get(), 0) == kWaitTimeout;
    if (!request.restart) {
        if (!running) {
            ShowUsage(log, kParentMessage);
            return kExitInvalidParameter;
        }
        launch.parent = parent.get();
        return 0;
    }
    if (!running || platform.StartTimeOf(parent.get()) != request.restart->start) {
        return kExitProcessAborted;
    }
    launch.parent = parent.get();
    std::uint32_t& limit = launch.controls.timeLimitMs;
    if (limit != 0 && request.restart->deadline != 0) {
        const std::uint64_t left = MillisecondsUntil(platform, request.restart->deadline);
        if (left == 0) {
            return kExitTimeout;
        }
        limit = static_cast<std::uint32_t>(std::min<std::uint64_t>(left, limit));
    }
    return 0;
}

}  // namespace

std::optional<std::uint32_t> PriorityClassFor(std::int32_t selector) {
    for (const Priority& priority : kPriorities) {
        if (priority.selector == selector) {
            return priority.priorityClass;
        }
    }
    return std::nullopt;
}

std::wstring UsageText(std::wstring_view message) {
    std::wstring text(message);
    text += kLineEnd;
    for (const std::wstring_view line : kUsageLines) {
        text += line;
        text += kLineEnd;
    }
    // Highest first; names that fill a tab stop take one tab before the number, the others two.
    for (auto priority = kPriorities.rbegin(); priority != kPriorities.rend(); ++priority) {
        text += L'\t';
        text += priority->name;
        text += priority->name.size() > 8 ? L"\t" : L"\t\t";
        text += static_cast<wchar_t>(L'0' + priority->selector);
        text += kLineEnd;
    }
    return text;
}

void ShowUsage(RunLog& log, std::wstring_view message) {
    log.Message(UsageText(message));
}

int Main(Platform& platform) {
    const std::wstring commandText = platform.CommandText();
    const CommandLineRequest request = ParseCommandLine(commandText);
    if (request.help || request.version) {
        platform.WriteOutput(request.help ? HelpText() : VersionText());
        return 0;
    }
    // Opened before any check, so that every message of an unattended run is kept; one that
    // cannot be opened is reported where messages go without it. Help runs nothing, and logs none.
    RunLog log(platform, commandText);
    const std::uint32_t logError = request.log ? log.Open(*request.log) : 0;
    if (logError != 0) {
        ShowUsage(log, kLogMessage);
        return static_cast<int>(logError);
    }

    const std::optional<std::uint32_t> priorityClass = PriorityClassFor(request.selector);
    if (!priorityClass) {
        ShowUsage(log, kPriorityMessage);
        return kExitInvalidParameter;
    }

    LaunchRequest launch;
    const std::wstring_view controlsMessage = ReadControls(platform, request, launch.controls);
    if (!controlsMessage.empty()) {
        ShowUsage(log, controlsMessage);
        return kExitInvalidParameter;
    }

    // Opened now and held to the end, so that the id cannot come to name another process.
    OwnedHandle parent(platform);
    const int parentFailed =
        request.parent ? HoldParent(platform, log, request, parent, launch) : 0;
    if (parentFailed != 0) {
        return parentFailed;
    }

    if (request.path.empty()) {
        ShowUsage(log, kNoExeMessage);
        return kExitInvalidParameter;
    }
    const std::wstring program = FindProgram(platform, request.path);
    if (program.empty()) {
        ShowUsage(log, kNoFileMessage);
        return kExitFileNotFound;
    }

    // The tree is always waited for, so its status is the program's as with "/w"; so is a run to
    // report on.
    const bool wait = request.wait || launch.controls.tree || request.report;
    launch.path = program;
    launch.arguments = request.arguments;
    launch.creationFlags = *priorityClass;
    launch.waitMode = wait ? kWaitPolling : kWaitNone;
    launch.showWindow = platform.ShowCommand();
    launch.pollInterval = kPollIntervalMs;
    launch.report = request.report;
    launch.output = log.handle();
    if (launch.output != nullptr) {
        log.Started(BuildCommandLine(launch.path, launch.arguments));
    }
    ProcessInformation processInfo;
    // The time limit counts from this launch, on a clock that no change of the date moves.
    const std::uint32_t limit = launch.controls.timeLimitMs;
    const std::uint64_t deadline =
        limit != 0 ? platform.MonotonicMicroseconds() + std::uint64_t{limit} * 1000 : 0;
    LaunchOutcome outcome = LaunchProgram(platform, launch, processInfo);
    // Only an ordinary run restarts itself elevated; the elevated run has a parent, so a program
    // that it cannot start either is reported there and no third run follows.
    if (outcome.created == 0 && outcome.error == kErrorElevationRequired && !request.parent) {
        outcome = RunElevated(platform, WithProgramPath(commandText, request, program),
                              launch.showWindow, kPollIntervalMs, deadline);
        if (outcome.created != 0) {
            return static_cast<int>(outcome.exitCode);  // the elevated run's status, as it is
        }
    }
    if (outcome.created == 0) {
        ShowUsage(log, kLaunchMessage);
        return outcome.error != 0 ? static_cast<int>(outcome.error) : 1;  // never report success
    }
    const int status = StatusOf(outcome, wait);
    // On a line of its own, also after output that did not end one (a progress line's carriage
    // return), so that "findstr /b vantrel:" finds it.
    if (request.report) {
        log.Report(ReportLine(status, outcome));
    }
    return status;
}

}  // namespace modVantrel
