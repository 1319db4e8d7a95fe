#include "launch/launcher.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "fake_platform.h"
#include "launch/run_report.h"

namespace modVantrel {
namespace {

using testing::FakePlatform;
using testing::FatalCalled;
using Calls = std::vector<std::string>;

struct Launch {
    FakePlatform platform;
    ProcessInformation info;
    LaunchOutcome outcome;

    LaunchOutcome Run(std::int16_t waitMode, std::int32_t showWindow = kNoShowWindow,
                      std::wstring_view path = L"c:\\a.exe", std::wstring_view arguments = L"",
                      const ProcessControls& controls = {}) {
        outcome = LaunchProgram(
            platform, {path, arguments, 0x4000, waitMode, showWindow, false, 1000, controls}, info);
        return outcome;
    }
};

struct CommandLineCase {
    const wchar_t* path;
    const wchar_t* arguments;
    const wchar_t* commandLine;
};

TEST(LauncherTest, QuotesThePathAtTheHeadOfTheCommandLine) {
    const CommandLineCase cases[] = {
        {L"c:\\a.exe", L"", L"\"c:\\a.exe\""},
        {L"c:\\a.exe", L"-q", L"\"c:\\a.exe\" -q"},
        {L"c:\\program files\\t.exe", L"-q x  y", L"\"c:\\program files\\t.exe\" -q x  y"},
        {L"c:\\a.exe", L"x  ", L"\"c:\\a.exe\" x  "},
        {L"\u03b1\u4e2d.exe", L"\u00e9", L"\"\u03b1\u4e2d.exe\" \u00e9"},
    };
    for (const CommandLineCase& c : cases) {
        Launch launch;
        launch.Run(kWaitNone, kNoShowWindow, c.path, c.arguments);
        ASSERT_EQ(launch.platform.creations.size(), 1u);
        EXPECT_EQ(launch.platform.creations[0].applicationName, c.path);
        EXPECT_EQ(launch.platform.creations[0].commandLine, c.commandLine);
        EXPECT_EQ(launch.platform.creations[0].creationFlags, 0x4000u);
    }
}

struct StartupCase {
    std::int32_t showWindow;
    std::uint32_t flags;
    std::int16_t recorded;
};

TEST(LauncherTest, SetsTheShowWindowCommandWhenThereIsOne) {
    const StartupCase cases[] = {{kNoShowWindow, 0, 0}, {0, 1, 0},  {-5, 0, 0},   {3, 1, 3},
                                 {11, 1, 11},           {12, 0, 0}, {32768, 0, 0}};
    for (const StartupCase& c : cases) {
        Launch launch;
        launch.Run(kWaitNone, c.showWindow);
        ASSERT_EQ(launch.platform.creations.size(), 1u);
        EXPECT_EQ(launch.platform.creations[0].startup.flags, c.flags) << c.showWindow;
        EXPECT_EQ(launch.platform.creations[0].startup.showWindow, c.recorded) << c.showWindow;
    }
}

struct WaitCase {
    const char* name;
    std::int16_t waitMode;
    std::deque<std::uint32_t> waitResults;
    Calls waiting;  // the calls between creation and closing the handles
};

TEST(LauncherTest, WaitsAsTheModeSays) {
    const WaitCase cases[] = {
        {"none", kWaitNone, {}, {}},
        {"poll until the end",
         kWaitPolling,
         {kWaitTimeout, kWaitTimeout, kWaitTimeout, 0},
         {"Wait(process,1000)=258", "Pump", "Wait(process,1000)=258", "Pump",
          "Wait(process,1000)=258", "Pump", "Wait(process,1000)=0", "Pump", "ExitCode(process)"}},
        {"poll ends on a failed wait",
         kWaitPolling,
         {kWaitTimeout, 0xFFFFFFFF},
         {"Wait(process,1000)=258", "Pump", "Wait(process,1000)=4294967295", "Pump",
          "ExitCode(process)"}},
        {"idle, then the end",
         kWaitIdleThenEnd,
         {},
         {"Idle(process)", "Wait(process,4294967295)=0", "ExitCode(process)"}},
        {"idle only", 5, {}, {"Idle(process)"}},
        {"idle only, another value", -2, {}, {"Idle(process)"}},
    };
    for (const WaitCase& c : cases) {
        Launch launch;
        launch.platform.waitResults = c.waitResults;
        launch.platform.exitCode = 7;
        const LaunchOutcome outcome = launch.Run(c.waitMode);

        Calls expected = {"BusyOn", "StartProcess"};
        expected.insert(expected.end(), c.waiting.begin(), c.waiting.end());
        expected.insert(expected.end(), {"Close(thread)", "Close(process)", "BusyOff"});
        EXPECT_EQ(launch.platform.calls, expected) << c.name;
        EXPECT_NE(outcome.created, 0) << c.name;
        const bool sawEnd = !c.waiting.empty() && c.waiting.back() == "ExitCode(process)";
        EXPECT_EQ(outcome.exitCode, sawEnd ? 7u : 0u) << c.name;
        EXPECT_TRUE(launch.platform.openHandles.empty()) << c.name;
        EXPECT_EQ(launch.info.process, nullptr) << c.name;
        EXPECT_EQ(launch.info.thread, nullptr) << c.name;
    }
}

TEST(LauncherTest, FailedCreationWaitsForNothingAndReportsTheError) {
    for (const std::int16_t waitMode : {kWaitNone, kWaitPolling, kWaitIdleThenEnd}) {
        Launch launch;
        launch.platform.startSucceeds = false;
        launch.platform.startError = 193;
        const LaunchOutcome outcome = launch.Run(waitMode);
        EXPECT_EQ(outcome.created, 0);
        EXPECT_EQ(outcome.error, 193u);
        EXPECT_EQ(launch.platform.calls, (Calls{"BusyOn", "StartProcess", "BusyOff"}));
    }
}

const ProcessControls kAffinity{0x3, false, false};
const ProcessControls kEfficiency{0, true, false};
const ProcessControls kTree{0, false, true};
const ProcessControls kAll{0x3, true, true};

const Calls kTreeSetUp = {"CreateTreeJob(10240,0,0,0)", "Assign(job,process)",
                          "SetPriority(process,16384)"};
// The last process leaves: the port says so, the job's count agrees.
const Calls kLastLeaves = {"JobMessage(port,1000)=0 4", "JobIsEmpty(job)=1", "Pump"};

struct SetUpCase {
    const char* name;
    ProcessControls controls;
    const char* failing;  // the step that fails with error 5, or nullptr
    Calls between;        // the calls between creation and closing the program's handles
    bool outerJob = false;
};

Calls Join(std::initializer_list<Calls> parts) {
    Calls joined;
    for (const Calls& part : parts) {
        joined.insert(joined.end(), part.begin(), part.end());
    }
    return joined;
}

TEST(LauncherTest, SetsUpTheSuspendedProgramThenResumesIt) {
    const Calls killed = {"Terminate(process,5)"};
    const Calls treeEnd = {"ExitCode(process)", "Close(port)", "Close(job)"};
    const SetUpCase cases[] = {
        {"affinity", kAffinity, nullptr, {"SetAffinity(process,3)", "Resume(thread)"}},
        {"efficiency, refused or not",
         kEfficiency,
         nullptr,
         {"Efficiency(process)", "Resume(thread)"}},
        {"tree", kTree, nullptr, Join({kTreeSetUp, {"Resume(thread)"}, kLastLeaves, treeEnd})},
        {"all", kAll, nullptr,
         Join({{"SetAffinity(process,3)"},
               kTreeSetUp,
               {"Efficiency(process)", "Resume(thread)"},
               kLastLeaves,
               treeEnd})},
        {"affinity fails", kAll, "SetAffinity", Join({{"SetAffinity(process,3)"}, killed})},
        {"job fails", kTree, "CreateTreeJob", Join({{"CreateTreeJob(10240,0,0,0)"}, killed})},
        {"refused: half the processors, hard-capped, 1 GiB, and no breakaway under a limit",
         {0, false, true, 0, 50, 1 << 30},
         "CreateTreeJob",
         Join({{"CreateTreeJob(8704,1073741824,5,5000)"}, killed})},
        {"assignment fails", kTree, "Assign",
         Join({{"CreateTreeJob(10240,0,0,0)", "Assign(job,process)"},
               killed,
               {"Close(port)", "Close(job)"}})},
        {"class fails", kAll, "SetPriority",
         Join({{"SetAffinity(process,3)"},
               kTreeSetUp,
               {"Efficiency(process)"},
               killed,
               {"Close(port)", "Close(job)"}})},
        {"resume fails", kAffinity, "Resume",
         Join({{"SetAffinity(process,3)", "Resume(thread)"}, killed})},
        {"Windows 7, in a job: asked to leave it, refused, created in it", kTree, "Assign",
         Join({{"StartProcess", "CreateTreeJob(10240,0,0,0)", "Assign(job,process)"},
               killed,
               {"Close(port)", "Close(job)"}}),
         true},
    };
    for (const SetUpCase& c : cases) {
        Launch launch;
        if (c.failing != nullptr) {
            launch.platform.failures[c.failing] = 5;
        }
        launch.platform.exitCode = 7;
        launch.platform.jobsNest = !c.outerJob;
        launch.platform.breakawayError = 5;
        const LaunchOutcome outcome =
            launch.Run(kWaitNone, kNoShowWindow, L"c:\\a.exe", L"", c.controls);

        const Calls expected = Join({{"BusyOn", "StartProcess"},
                                     c.between,
                                     {"Close(thread)", "Close(process)", "BusyOff"}});
        EXPECT_EQ(launch.platform.calls, expected) << c.name;
        ASSERT_EQ(launch.platform.creations.size(), c.outerJob ? 2u : 1u) << c.name;
        EXPECT_EQ(launch.platform.creations[0].creationFlags, c.outerJob ? 0x1004004u : 0x4004u);
        EXPECT_EQ(launch.platform.creations.back().creationFlags, 0x4004u) << c.name;
        EXPECT_EQ(outcome.created != 0, c.failing == nullptr) << c.name;
        EXPECT_EQ(outcome.error, c.failing != nullptr ? 5u : 0u) << c.name;
        // The tree is waited for even when the wait mode says not to wait.
        EXPECT_EQ(outcome.exitCode, c.controls.tree && c.failing == nullptr ? 7u : 0u) << c.name;
        EXPECT_TRUE(launch.platform.openHandles.empty()) << c.name;
    }
}

struct TreeCase {
    const char* name;
    std::deque<std::pair<std::uint32_t, JobMessage>> messages;
    std::deque<bool> empty;
    Calls waiting;  // after the program is resumed, up to reading its exit code
    bool memoryLimitHit = false;
    std::uint32_t timeLimitMs = 0;
    std::uint32_t graceMs = 0;
    bool console = false;  // vantrel.com: the program shares Vantrel's console
    DeadlineStop stop{};   // what the outcome says of the stop: the grace and group as given
};

TEST(LauncherTest, WaitsForTheWholeTree) {
    const std::pair<std::uint32_t, JobMessage> timeout{kWaitTimeout, {}};
    // A new member that is still in the job gets the class and the hints, "/bg"'s too.
    const auto settled = [](const std::string& id) {
        const std::string member = "member" + id;
        return Calls{"JobMessage(port,1000)=0 6",
                     "Open(" + id + ")",
                     "InJob(" + member + ",job)",
                     "SetPriority(" + member + ",16384)",
                     "Efficiency(" + member + ")",
                     "IoPriority(" + member + ")",
                     "MemoryPriority(" + member + ")",
                     "Close(" + member + ")",
                     "Pump"};
    };
    // At the stop each member is opened, confirmed in the job (not 50, gone, nor 60), and held.
    // clang-format off
    const Calls opened = {"JobProcesses(job)", "Open(41)", "InJob(member41,job)", "Open(50)",
        "Open(60)", "InJob(member60,job)", "Close(member60)", "Open(77)", "InJob(member77,job)",
        "Open(90)", "InJob(member90,job)", "CloseWindows(3)"};
    const Calls released = {"Close(member41)", "Close(member77)", "Close(member90)"};
    const Calls quiet = {"JobMessage(port,1000)=258", "JobIsEmpty(job)=0", "Pump"};
    const TreeCase cases[] = {
        {"every new process gets the class; the last one leaving ends the wait",
         {{0, {kJobNewProcess, 41}}, {0, {kJobNewProcess, 77}}, {0, {7, 41}}},
         {},
         Join({settled("41"), settled("77"), {"JobMessage(port,1000)=0 7", "Pump"}, kLastLeaves})},
        {"a process that has gone, or whose id now names another, is skipped",
         {{0, {kJobNewProcess, 50}}, {0, {kJobNewProcess, 60}}},
         {},
         Join({{"JobMessage(port,1000)=0 6", "Open(50)", "Pump", "JobMessage(port,1000)=0 6",
                "Open(60)", "InJob(member60,job)", "Close(member60)", "Pump"},
               kLastLeaves})},
        {"a step without a message asks the job",
         {timeout, timeout, {31, {}}},
         {false, true},
         {"JobMessage(port,1000)=258", "JobIsEmpty(job)=0", "Pump", "JobMessage(port,1000)=258",
          "JobIsEmpty(job)=1", "Pump"}},
        {"a failed step asks the job too",
         {{6, {}}},
         {false},
         Join({{"JobMessage(port,1000)=6", "JobIsEmpty(job)=0", "Pump"}, kLastLeaves})},
        {"at the time limit windows and each console once are asked; closed within the grace",
         {timeout, {0, {kJobActiveProcessZero, 0}}},
         {false},
         Join({quiet, opened, {"BreakConsole(41)", "BreakConsole(90)"}, released, kLastLeaves}),
         false,
         1000,
         3000,
         false,
         {3000, 0, 3, 1, false}},
        {"vantrel.com: its group gets Ctrl+C as Ctrl+Break, then the stop's; ended after the grace",
         {timeout, timeout, timeout},
         {false, false, false},
         Join({{"PassInterrupts(41)"}, quiet, opened, {"BreakGroup(41)"}, released, quiet,
               {"JobMessage(port,500)=258", "JobIsEmpty(job)=0", "Pump", "TerminateJob(job,1460)"},
               kLastLeaves, {"PassInterrupts(0)"}}),
         false,
         1000,
         1500,
         true,
         {1500, 41, 3, 1, true}},
        {"the memory limit is noted; no step passes the time limit; /grace:0 ends all with 1460",
         {timeout, {0, {kJobMemoryLimit, 41}}, timeout, timeout},
         {false, false, false},
         Join({{"JobMessage(port,1000)=258", "JobIsEmpty(job)=0", "Pump",
                "JobMessage(port,1000)=0 10", "Pump", "JobMessage(port,1000)=258",
                "JobIsEmpty(job)=0", "Pump", "JobMessage(port,500)=258", "JobIsEmpty(job)=0",
                "Pump", "TerminateJob(job,1460)"},
               kLastLeaves}),
         true,
         2500,
         0,
         false,
         {0, 0, 0, 0, true}},
        {"a job nested in the tree that empties does not end the wait; no limit, no group",
         {{0, {kJobActiveProcessZero, 0}}},
         {false},
         Join({{"JobMessage(port,1000)=0 4", "JobIsEmpty(job)=0", "Pump"}, kLastLeaves}),
         false,
         0,
         0,
         true},
    };
    // clang-format on
    for (const TreeCase& c : cases) {
        Launch launch;
        launch.platform.jobMessages = c.messages;
        launch.platform.jobEmpty = c.empty;
        launch.platform.gone = {50};
        launch.platform.outsideJob = {60};
        launch.platform.exitCode = 3;
        launch.platform.sharesConsole = c.console;
        launch.platform.jobProcesses = {41, 50, 60, 77, 90};
        launch.platform.consoles = {{41, {41, 77, 1234}}};  // 90 has none
        ProcessControls controls = kAll;
        controls.timeLimitMs = c.timeLimitMs;
        controls.graceMs = c.graceMs;
        controls.background = true;
        const LaunchOutcome outcome =
            launch.Run(kWaitPolling, kNoShowWindow, L"c:\\a.exe", L"", controls);

        // Under a limit no process may leave the job.
        Calls setUp = kTreeSetUp;
        setUp[0] = c.timeLimitMs != 0 ? "CreateTreeJob(8192,0,0,0)" : setUp[0];
        const Calls expected = Join({{"BusyOn", "StartProcess", "SetAffinity(process,3)"},
                                     setUp,
                                     {"Efficiency(process)", "IoPriority(process)",
                                      "MemoryPriority(process)", "Resume(thread)"},
                                     c.waiting,
                                     {"ExitCode(process)", "Close(port)", "Close(job)",
                                      "Close(thread)", "Close(process)", "BusyOff"}});
        EXPECT_EQ(launch.platform.calls, expected) << c.name;
        EXPECT_EQ(outcome.exitCode, 3u) << c.name;
        EXPECT_EQ(outcome.memoryLimitHit, c.memoryLimitHit) << c.name;
        EXPECT_EQ(outcome.timedOut, c.timeLimitMs != 0) << c.name;
        const DeadlineStop& stop = outcome.stop;
        EXPECT_EQ(
            std::vector({stop.graceMs, stop.group, stop.windowsAsked, stop.consolesAsked}),
            std::vector({c.stop.graceMs, c.stop.group, c.stop.windowsAsked, c.stop.consolesAsked}))
            << c.name;
        EXPECT_EQ(stop.ended, c.stop.ended) << c.name;
        const bool ownGroup = c.console && c.timeLimitMs != 0;
        EXPECT_EQ(launch.platform.creations[0].creationFlags & kCreateNewProcessGroup,
                  ownGroup ? kCreateNewProcessGroup : 0u)
            << c.name;
        EXPECT_TRUE(launch.platform.openHandles.empty()) << c.name;
    }
}

TEST(LauncherTest, ReportLineGivesTheFiguresInOrder) {
    constexpr std::uint64_t kMiB = 1 << 20, kMost = ~std::uint64_t{0};
    const struct {
        int status;
        std::uint64_t elapsedMicroseconds;
        RunCost cost;  // times in 100 ns
        int limits;    // 1: the time limit acted; 2: the memory limit was reached; 4: the tree was
                       // ended
        const wchar_t* line;
    } cases[] = {
        // clang-format off
        {0, 12480000, {379000000, 21000000, 14, 12405 * kMiB / 10, 350 * kMiB, 120 * kMiB}, 0,
         L"status=0 elapsed=12.480s user=37.900s kernel=2.100s processes=14 peak-commit=1240.5MiB read=350.0MiB written=120.0MiB"},
        {-1073741819, 1500, {4999, 5000, 1, 52428, 52429, kMiB - 1}, 2,
         L"status=-1073741819 elapsed=0.002s user=0.000s kernel=0.001s processes=1 peak-commit=0.0MiB read=0.1MiB written=1.0MiB limit=memory"},
        {1, kMost, {kMost, 0, kMost, kMost, 0, 0}, 0,
         L"status=1 elapsed=18446744073709.552s user=1844674407370.955s kernel=0.000s processes=18446744073709551615 peak-commit=17592186044416.0MiB read=0.0MiB written=0.0MiB"},
        {1460, 999, {}, 3, L"status=1460 elapsed=0.001s user=- kernel=- processes=- peak-commit=- read=- written=- limit=time stop=closed"},
        {1460, 0, {}, 5, L"status=1460 elapsed=0.000s user=- kernel=- processes=- peak-commit=- read=- written=- limit=time stop=ended"},
        // clang-format on
    };
    for (const auto& c : cases) {
        LaunchOutcome outcome;
        outcome.elapsedMicroseconds = c.elapsedMicroseconds;
        outcome.cost = c.cost;
        outcome.timedOut = (c.limits & 1) != 0;
        outcome.memoryLimitHit = (c.limits & 2) != 0;
        outcome.stop.ended = (c.limits & 4) != 0;
        EXPECT_EQ(ReportLine(c.status, outcome), L"vantrel: " + std::wstring(c.line) + L"\r\n");
    }
}

}  // namespace
}  // namespace modVantrel
