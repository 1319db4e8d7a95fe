#include "launch/launcher.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "fake_platform.h"

namespace modVantrel {
namespace {

using testing::FakePlatform;
using testing::FatalCalled;
using Calls = std::vector<std::string>;

struct Launch {
    FakePlatform platform;
    ProcessInformation info;
    LaunchOutcome outcome;

    LaunchOutcome Run(std::int16_t waitMode, std::int32_t showWindow = 0,
                      std::wstring_view path = L"c:\\a.exe", std::wstring_view arguments = L"") {
        outcome = LaunchProgram(platform, path, arguments, 0x4000, waitMode, showWindow, false,
                                info, 1000);
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
        {L"c:\\a.exe", L"x  ", L"\"c:\\a.exe\" x"},
        {L"\u03b1\u4e2d.exe", L"\u00e9", L"\"\u03b1\u4e2d.exe\" \u00e9"},
    };
    for (const CommandLineCase& c : cases) {
        Launch launch;
        launch.Run(kWaitNone, 0, c.path, c.arguments);
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

TEST(LauncherTest, SetsTheShowWindowCommandOnlyWhenPositive) {
    const StartupCase cases[] = {{0, 0, 0}, {-5, 0, 0}, {3, 1, 3}, {32767, 1, 32767}};
    for (const StartupCase& c : cases) {
        Launch launch;
        launch.Run(kWaitNone, c.showWindow);
        ASSERT_EQ(launch.platform.creations.size(), 1u);
        EXPECT_EQ(launch.platform.creations[0].startup.flags, c.flags) << c.showWindow;
        EXPECT_EQ(launch.platform.creations[0].startup.showWindow, c.recorded) << c.showWindow;
    }
}

TEST(LauncherTest, ShowWindowBeyondSixteenBitsIsFatalAndRestoresThePointer) {
    Launch launch;
    try {
        launch.Run(kWaitNone, 32768);
        ADD_FAILURE() << "no fatal report";
    } catch (const FatalCalled& fatal) {
        EXPECT_EQ(fatal.kind, FatalKind::Overflow);
    }
    EXPECT_EQ(launch.platform.calls, (Calls{"BusyOn", "Fatal", "BusyOff"}));
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

}  // namespace
}  // namespace modVantrel
