#include "command/mod_vantrel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "command/help_text.h"
#include "expected_usage.h"
#include "fake_platform.h"

namespace modVantrel {
namespace {

using testing::FakePlatform;

// What a run should show, or launch, for one command line.
struct FlowCase {
    const wchar_t* commandText;
    std::vector<std::wstring> files;  // what the lookup finds
    const wchar_t* message;           // nullptr when nothing is shown
    int exitStatus;
    const wchar_t* applicationName;  // nullptr when nothing is launched
    const wchar_t* commandLine;
    std::uint32_t creationFlags;
    std::uint64_t systemMask = 0xFF;  // the processors the system offers
    std::uint32_t startError = 0;     // creation fails with it; 740 restarts Vantrel elevated
    std::uint32_t elevationError = 0;
    std::int32_t showCommand = kNoShowWindow;  // what Vantrel was started with
    bool showsBoxes = true;
    std::uint32_t allowWaitError = 0;  // the administrators' entry is refused with it
    std::uint32_t parentEnd = 0;       // what the parent's wait answers once it is not running
    const wchar_t* report = nullptr;   // how the report begins after "vantrel: "; none when null
    std::uint32_t promptLimit = kInfinite;  // how long a consent prompt may stay unanswered
    bool midLine = false;                   // the program's output on standard error ends mid-line
};

void PrintTo(const FlowCase& c, std::ostream* os) {
    *os << ::testing::PrintToString(std::wstring(c.commandText));
}

class FlowTest : public ::testing::TestWithParam<FlowCase> {};

TEST_P(FlowTest, ShowsOrLaunches) {
    const FlowCase& c = GetParam();
    FakePlatform platform;
    platform.commandText = c.commandText;
    platform.files.insert(c.files.begin(), c.files.end());
    platform.exitCode = 42;
    platform.systemMask = c.systemMask;
    platform.startSucceeds = c.startError == 0;
    platform.startError = c.startError;
    platform.elevationError = c.elevationError;
    platform.showCommand = c.showCommand;
    platform.showsBoxes = c.showsBoxes;
    platform.allowWaitError = c.allowWaitError;
    platform.gone = {13};
    // Each wait takes two steps, a stop three; a parent runs when checked, ended by the first.
    platform.waitResults = {kWaitTimeout};
    platform.jobMessages = {{kWaitTimeout, {}}};
    platform.jobEmpty = {false, false};
    platform.parentWaits = {kWaitTimeout, c.parentEnd};
    platform.processCost.userTime = 15000000;
    platform.jobCost.userTime = 90000000;
    platform.atLineStart = !c.midLine;

    EXPECT_EQ(Main(platform), c.exitStatus);

    const std::vector<std::wstring> none;
    const auto usage = c.message != nullptr ? std::vector{UsageText(c.message)} : none;
    EXPECT_EQ(platform.messages, c.showsBoxes ? usage : none);
    EXPECT_EQ(platform.errors, c.showsBoxes ? none : usage);
    // A name alone is found in the fake's current folder and starts by its full path, restarts too.
    const std::wstring name = c.applicationName != nullptr ? c.applicationName : L"\\";
    const std::wstring folder = name.find(L'\\') == name.npos ? L"d:\\work\\" : L"";
    std::wstring typed = c.commandText;
    typed.replace(folder.empty() ? 0 : typed.find(name), folder.empty() ? 0 : name.size(),
                  folder.empty() ? L"" : L'"' + folder + name + L'"');
    if (c.applicationName != nullptr) {
        ASSERT_EQ(platform.creations.size(), 1u);
        EXPECT_EQ(platform.creations[0].applicationName, folder + name);
        EXPECT_EQ(platform.creations[0].commandLine, L'"' + folder + (c.commandLine + 1));
        EXPECT_EQ(platform.creations[0].creationFlags, c.creationFlags);
        EXPECT_FALSE(platform.creations[0].inheritHandles);
        EXPECT_EQ(platform.creations[0].startup.flags, c.showCommand >= 0 ? 1u : 0u);
        EXPECT_EQ(platform.creations[0].startup.showWindow, std::max(c.showCommand, 0));
    } else {
        EXPECT_TRUE(platform.creations.empty());
    }
    const auto end = c.promptLimit != kInfinite ? 3'600'000'000 + c.promptLimit * 1000ULL : 0;
    for (const ElevatedStart& start : platform.elevatedStarts) {
        EXPECT_EQ(start.path + L'|' + start.parameters + L'|' + start.directory + L'|' +
                      std::to_wstring(start.showWindow) + L'|' + std::to_wstring(start.timeoutMs),
                  L"c:\\vantrel\\vantrel.exe|/parent:1234:133500000000000000:" +
                      std::to_wstring(end) + L' ' + typed + L"|d:\\work|" +
                      std::to_wstring(c.showCommand) + L'|' + std::to_wstring(c.promptLimit));
        EXPECT_EQ(start.ownerWindow, FakePlatform::kWindow);
        EXPECT_EQ(*(std::find(platform.calls.begin(), platform.calls.end(), "StartElevated") - 1),
                  "AllowWait");
    }
    EXPECT_TRUE(platform.openHandles.empty());
    ASSERT_EQ(platform.reports.size(), c.report != nullptr ? 1u : 0u);
    // After output that ends mid-line, the report begins a line of its own.
    const std::wstring head = std::wstring(c.midLine ? L"\r\n" : L"") + L"vantrel: ";
    EXPECT_TRUE(c.report == nullptr || platform.reports[0].rfind(head + c.report, 0) == 0)
        << ::testing::PrintToString(platform.reports);
}

const wchar_t* const kPriority = expected::kPriorityMessage.data();
const wchar_t* const kNoExe = expected::kNoExeMessage.data();
const wchar_t* const kNoFile = expected::kNoFileMessage.data();
const wchar_t* const kProcessors = expected::kProcessorsMessage.data();
const wchar_t* const kParent = expected::kParentMessage.data();
const wchar_t* const kLaunch = expected::kLaunchMessage.data();
const wchar_t* const kLogFailed = L"The specified log file could not be opened!";

INSTANTIATE_TEST_SUITE_P(
    Checks, FlowTest,
    ::testing::Values(
        // The priority is checked first, then ".exe", then the file.
        FlowCase{L"", {}, kPriority, 87, nullptr, nullptr, 0},
        FlowCase{L"/p:3", {}, kNoExe, 87, nullptr, nullptr, 0},
        FlowCase{L"/p:9 c:\\windows\\notepad.exe",
                 {L"c:\\windows\\notepad.exe"},
                 kPriority,
                 87,
                 nullptr,
                 nullptr,
                 0},
        FlowCase{L"/p:0 x", {}, kPriority, 87, nullptr, nullptr, 0},
        FlowCase{L"/p:7 c:\\a.exe", {L"c:\\a.exe"}, kPriority, 87, nullptr, nullptr, 0},
        FlowCase{L"/p:-1 c:\\a.exe", {L"c:\\a.exe"}, kPriority, 87, nullptr, nullptr, 0},
        FlowCase{L"/p:99999999999 c:\\a.exe", {L"c:\\a.exe"}, kPriority, 87, nullptr, nullptr, 0},
        FlowCase{L"/p:4294967299 c:\\a.exe", {L"c:\\a.exe"}, kPriority, 87, nullptr, nullptr, 0},
        FlowCase{L"/p:3 c:\\tools\\app.com", {}, kNoExe, 87, nullptr, nullptr, 0},
        FlowCase{L"/p:3 c:\\missing.exe", {}, kNoFile, 2, nullptr, nullptr, 0},
        FlowCase{L"/p:3 c:\\a\"b.exe", {L"c:\\a\"b.exe"}, kNoFile, 2, nullptr, nullptr, 0},
        // The priority table, also through number readings.
        FlowCase{L"/p:1 a.exe", {L"a.exe"}, nullptr, 0, L"a.exe", L"\"a.exe\"", 0x40},
        FlowCase{L"/p:2 a.exe", {L"a.exe"}, nullptr, 0, L"a.exe", L"\"a.exe\"", 0x4000},
        FlowCase{L"/p:3 a.exe", {L"a.exe"}, nullptr, 0, L"a.exe", L"\"a.exe\"", 0x20},
        FlowCase{L"/p:4 a.exe", {L"a.exe"}, nullptr, 0, L"a.exe", L"\"a.exe\"", 0x8000},
        FlowCase{L"/p:5 a.exe", {L"a.exe"}, nullptr, 0, L"a.exe", L"\"a.exe\"", 0x80},
        FlowCase{L"/p:6 a.exe", {L"a.exe"}, nullptr, 0, L"a.exe", L"\"a.exe\"", 0x100},
        FlowCase{L"/p:2.5 a.exe", {L"a.exe"}, nullptr, 0, L"a.exe", L"\"a.exe\"", 0x4000},
        FlowCase{L"/p:3.5 a.exe", {L"a.exe"}, nullptr, 0, L"a.exe", L"\"a.exe\"", 0x8000},
        FlowCase{L"/p:&h6 a.exe", {L"a.exe"}, nullptr, 0, L"a.exe", L"\"a.exe\"", 0x100},
        // Path and arguments reach the program as typed; the path is quoted at the head.
        FlowCase{L"/P:5 C:\\Tools\\App.EXE -Verbose",
                 {L"C:\\Tools\\App.EXE"},
                 nullptr,
                 0,
                 L"C:\\Tools\\App.EXE",
                 L"\"C:\\Tools\\App.EXE\" -Verbose",
                 0x80},
        FlowCase{L"/p:2 \"c:\\program files\\tools\\tool.exe\" -q",
                 {L"c:\\program files\\tools\\tool.exe"},
                 nullptr,
                 0,
                 L"c:\\program files\\tools\\tool.exe",
                 L"\"c:\\program files\\tools\\tool.exe\" -q",
                 0x4000},
        // The split is at the first ".exe"; the rest, trimmed, are the arguments.
        FlowCase{L"/p:3 c:\\my.exe.files\\run.exe",
                 {L"c:\\my.exe"},
                 nullptr,
                 0,
                 L"c:\\my.exe",
                 L"\"c:\\my.exe\" .files\\run.exe",
                 0x20},
        FlowCase{L"/p:3   c:\\a.exe   -x   ",
                 {L"c:\\a.exe"},
                 nullptr,
                 0,
                 L"c:\\a.exe",
                 L"\"c:\\a.exe\" -x",
                 0x20},
        FlowCase{L"/p:1 .exe", {}, kNoFile, 2, nullptr, nullptr, 0},
        FlowCase{L"/p:1 .exe", {L".exe"}, nullptr, 0, L".exe", L"\".exe\"", 0x40},
        // Switches among the arguments are taken and never passed on; quotes are passed on.
        FlowCase{L"/p:3 c:\\a.exe -x /p:4 \" -y",
                 {L"c:\\a.exe"},
                 nullptr,
                 0,
                 L"c:\\a.exe",
                 L"\"c:\\a.exe\" -x \" -y",
                 0x8000},
        // With "/w" the status is the program's own.
        FlowCase{L"/p:3 c:\\a.exe /W",
                 {L"c:\\a.exe"},
                 nullptr,
                 42,
                 L"c:\\a.exe",
                 L"\"c:\\a.exe\"",
                 0x20},
        // The mask is checked after the priority and before ".exe": the system offers 0xFF.
        FlowCase{L"/a:100 /p:3 a.exe", {L"a.exe"}, kProcessors, 87, nullptr, nullptr, 0},
        FlowCase{L"/a:0 /p:3 a.exe", {L"a.exe"}, kProcessors, 87, nullptr, nullptr, 0},
        FlowCase{L"/a:2 /p:3 a.exe", {L"a.exe"}, kProcessors, 87, nullptr, nullptr, 0, 0x5},
        FlowCase{L"/a:4 /p:3 a.exe", {L"a.exe"}, nullptr, 0, L"a.exe", L"\"a.exe\"", 0x24, 0x5},
        FlowCase{L"/a:1 /a:zz /p:3 a.exe", {L"a.exe"}, kProcessors, 87, nullptr, nullptr, 0},
        FlowCase{L"/a: /p:3 a.exe", {L"a.exe"}, kProcessors, 87, nullptr, nullptr, 0},
        FlowCase{L"/a:zz /p:9 a.exe", {L"a.exe"}, kPriority, 87, nullptr, nullptr, 0},
        FlowCase{L"/a:zz /p:3 x", {}, kProcessors, 87, nullptr, nullptr, 0},
        // Options create the program suspended; "/t" waits, so the status is the program's.
        FlowCase{L"/a:zz /a:FF /p:3 a.exe", {L"a.exe"}, nullptr, 0, L"a.exe", L"\"a.exe\"", 0x24},
        FlowCase{L"/e /p:1 a.exe", {L"a.exe"}, nullptr, 0, L"a.exe", L"\"a.exe\"", 0x44},
        FlowCase{L"/t /p:4 a.exe", {L"a.exe"}, nullptr, 42, L"a.exe", L"\"a.exe\"", 0x8004},
        // The parent is checked after the mask and before ".exe"; one that runs changes nothing.
        FlowCase{L"/parent:13 /p:3 a.exe", {L"a.exe"}, kParent, 87, nullptr, nullptr, 0},
        FlowCase{L"/parent:x /p:3 x", {}, kParent, 87, nullptr, nullptr, 0},
        FlowCase{L"/a:0 /parent:x /p:3 a.exe", {L"a.exe"}, kProcessors, 87, nullptr, nullptr, 0},
        // clang-format off
        FlowCase{L"/w /parent:7 /p:3 a.exe", {L"a.exe"}, nullptr, 1067, L"a.exe", L"\"a.exe\"", 0x20},
        FlowCase{L"/parent:7 /t /p:3 a.exe", {L"a.exe"}, nullptr, 1067, L"a.exe", L"\"a.exe\"", 0x24},
        FlowCase{L"/parent:7 /p:3 a.exe", {L"a.exe"}, nullptr, 0, L"a.exe", L"\"a.exe\"", 0x20},
        // The elevated run: none left, 1460; some, that much; a parent's other start, 1067 quietly.
        FlowCase{L"/parent:7:133500000000000000:3600000000 /time:1 /p:3 a.exe", {L"a.exe"}, nullptr, 1460, nullptr, nullptr, 0},
        FlowCase{L"/r /parent:7:133500000000000000:3600700000 /time:5 /p:3 a.exe", {L"a.exe"}, nullptr, 1460, L"a.exe", L"\"a.exe\"", 0x24, 0xFF, 0, 0, kNoShowWindow, true, 0, kWaitTimeout, L"status=1460 elapsed=0.700s "},
        FlowCase{L"/parent:7:133500000000000001:0 /p:3 a.exe", {L"a.exe"}, nullptr, 1067, nullptr, nullptr, 0},
        FlowCase{L"/time:0 /grace:x /cpu:x /parent:x /p:3 a.exe", {L"a.exe"}, L"The specified time limit is invalid!", 87, nullptr, nullptr, 0},
        FlowCase{L"/grace:61m /cpu:x /p:3 x", {}, L"The specified grace period is invalid!", 87, nullptr, nullptr, 0},
        FlowCase{L"/grace:0 /p:3 a.exe", {L"a.exe"}, nullptr, 0, L"a.exe", L"\"a.exe\"", 0x20},
        FlowCase{L"/cpu:101 /mem:x /p:3 x", {}, L"The specified CPU limit is invalid!", 87, nullptr, nullptr, 0},
        FlowCase{L"/mem:1K /parent:x /p:3 a.exe", {L"a.exe"}, L"The specified memory limit is invalid!", 87, nullptr, nullptr, 0},
        FlowCase{L"/time:1 /p:3 a.exe", {L"a.exe"}, nullptr, 1460, L"a.exe", L"\"a.exe\"", 0x24},
        FlowCase{L"/time:2 /p:3 \"c:\\my.exe x\\a.exe\" -x", {L"c:\\my.exe x\\a.exe"}, nullptr, 42, L"c:\\my.exe x\\a.exe", L"\"c:\\my.exe x\\a.exe\" -x", 0x24},
        // 740 restarts elevated; the status is the elevated run's, whatever the options.
        FlowCase{L" /p:3  a.exe  \"x\" ", {L"a.exe"}, nullptr, 42, L"a.exe", L"\"a.exe\" \"x\"", 0x20, 0xFF, 740},
        FlowCase{L"/w /p:3 a.exe", {L"a.exe"}, nullptr, 42, L"a.exe", L"\"a.exe\"", 0x20, 0xFF, 740},
        FlowCase{L"/p:3 a.exe", {L"a.exe"}, kLaunch, 1223, L"a.exe", L"\"a.exe\"", 0x20, 0xFF, 740, 1223},
        FlowCase{L"/time:5 /p:3 a.exe", {L"a.exe"}, nullptr, 1460, L"a.exe", L"\"a.exe\"", 0x24, 0xFF, 740, 1460, kNoShowWindow, true, 0, 0, nullptr, 5000},
        FlowCase{L"/p:3 a.exe", {L"a.exe"}, kLaunch, 2, L"a.exe", L"\"a.exe\"", 0x20, 0xFF, 740, 2},
        FlowCase{L"/parent:7 /w /p:3 a.exe", {L"a.exe"}, kLaunch, 740, L"a.exe", L"\"a.exe\"", 0x20, 0xFF, 740},
        // The show command reaches the program, and through the restart the elevated run.
        FlowCase{L"/p:3 a.exe", {L"a.exe"}, nullptr, 42, L"a.exe", L"\"a.exe\"", 0x20, 0xFF, 740, 0, 7},
        FlowCase{L"/p:3 a.exe", {L"a.exe"}, nullptr, 42, L"a.exe", L"\"a.exe\"", 0x20, 0xFF, 740, 0, kNoShowWindow, true, 5},
        // A refused entry for the administrators; no visible desktop; a parent whose wait fails.
        FlowCase{L"/p:3 c:\\missing.exe", {}, kNoFile, 2, nullptr, nullptr, 0, 0xFF, 0, 0, kNoShowWindow, false},
        FlowCase{L"/w /parent:7 /p:3 a.exe", {L"a.exe"}, nullptr, 1067, L"a.exe", L"\"a.exe\"", 0x20, 0xFF, 0, 0, kNoShowWindow, true, 0, 0xFFFFFFFF},
        // "/r": a report after a launch, cut short or not.
        FlowCase{L"/R /t /p:3 a.exe", {L"a.exe"}, nullptr, 42, L"a.exe", L"\"a.exe\"", 0x24, 0xFF, 0, 0, kNoShowWindow, true, 0, 0, L"status=42 elapsed=1.000s user=9.000s "},
        FlowCase{L"/r /parent:7 /p:3 a.exe", {L"a.exe"}, nullptr, 1067, L"a.exe", L"\"a.exe\"", 0x20, 0xFF, 0, 0, kNoShowWindow, true, 0, 0, L"status=1067 elapsed=1.000s user=1.500s "},
        // A user's parent leaves the limit whole; the tree is asked at it, and the parent watched.
        FlowCase{L"/r /parent:7 /time:1 /p:3 a.exe", {L"a.exe"}, nullptr, 1460, L"a.exe", L"\"a.exe\"", 0x24, 0xFF, 0, 0, kNoShowWindow, true, 0, kWaitTimeout, L"status=1460 elapsed=1.000s user=9.000s kernel=- processes=- peak-commit=- read=- written=- limit=time stop=closed", kInfinite, true},
        FlowCase{L"/r /parent:7 /time:1 /p:3 a.exe", {L"a.exe"}, nullptr, 1067, L"a.exe", L"\"a.exe\"", 0x24, 0xFF, 0, 0, kNoShowWindow, true, 0, 0, L"status=1067 elapsed=1.000s user=9.000s kernel=- processes=- peak-commit=- read=- written=- limit=time stop=ended"},
        // clang-format on
        FlowCase{L"/log: /p:3 a.exe", {L"a.exe"}, kLogFailed, 87, nullptr, nullptr, 0},
        // After the path they are the program's arguments.
        FlowCase{L"/p:3 a.exe /t /a:zz /e",
                 {L"a.exe"},
                 nullptr,
                 0,
                 L"a.exe",
                 L"\"a.exe\" /t /a:zz /e",
                 0x20}));

TEST(FlowTest, FailedLaunchShowsMessageAndExitsWithTheSystemError) {
    FakePlatform platform;
    platform.commandText = L"/p:3 c:\\notaprogram.exe";
    platform.files = {L"c:\\notaprogram.exe"};
    platform.startSucceeds = false;
    platform.startError = 193;  // ERROR_BAD_EXE_FORMAT
    EXPECT_EQ(Main(platform), 193);
    ASSERT_EQ(platform.MessageCount(), 1);
    EXPECT_EQ(platform.messages[0], UsageText(kLaunchMessage));
}

TEST(FlowTest, FailedLaunchWithoutErrorCodeStillExitsNonzero) {
    FakePlatform platform;
    platform.commandText = L"/p:3 c:\\a.exe";
    platform.files = {L"c:\\a.exe"};
    platform.startSucceeds = false;
    platform.startError = 0;
    EXPECT_NE(Main(platform), 0);
}

TEST(FlowTest, VersionIsWrittenAndNothingRuns) {
    FakePlatform platform;
    platform.commandText = L"--version /p:9 c:\\a.exe";
    EXPECT_EQ(Main(platform), 0);
    EXPECT_EQ(platform.output, std::vector{VersionText()});
    EXPECT_TRUE(platform.messages.empty() && platform.lookups.empty());
}

TEST(FlowTest, FindsANameAloneInTheCurrentFolderThenAlongThePath) {
    // The path typed, the files there are, whether NoDefaultCurrentDirectoryInExePath is set, the
    // lookups made and the program started. Empty and relative PATH entries are skipped.
    // clang-format off
    const std::wstring q = L"c:\\q\\7za.exe", srv = L"\\\\srv\\t\\7za.exe", late = L"c:\\late\\7za.exe";
    const std::tuple<std::wstring, std::set<std::wstring>, bool, std::vector<std::wstring>, std::wstring> cases[] = {
        {L"7za.exe", {late}, false, {L"7za.exe", q, srv, late}, late},
        {L"7za.exe", {L"7za.exe", q}, false, {L"7za.exe"}, L"d:\\work\\7za.exe"},
        {L"7za.exe", {L"7za.exe", late}, true, {q, srv, late}, late},
        {L"7za.exe", {}, false, {L"7za.exe", q, srv, late}, L""},
        {L"bin\\7za.exe", {L"c:\\q\\bin\\7za.exe"}, false, {L"bin\\7za.exe"}, L""}};
    // clang-format on
    for (const auto& [typed, files, noCurrentFolder, lookups, started] : cases) {
        FakePlatform platform;
        platform.commandText = L"/p:2 " + typed + L" t";
        platform.files = files;
        platform.environment[L"PATH"] = L";bin;\"c:\\q\";.;\\tools;c:tools;\\\\srv\\t\\;c:\\late";
        if (noCurrentFolder) {
            platform.environment[L"NoDefaultCurrentDirectoryInExePath"] = L"";
        }
        EXPECT_EQ(Main(platform), started.empty() ? 2 : 0) << typed;
        EXPECT_EQ(platform.lookups, lookups) << typed;
        ASSERT_EQ(platform.creations.size(), started.empty() ? 0u : 1u);
        EXPECT_TRUE(started.empty() ||
                    (platform.creations[0].applicationName == started &&
                     platform.creations[0].commandLine == L'"' + started + L"\" t"));
    }
}

struct RunCase {
    const wchar_t* commandText;
    std::vector<std::string> calls;  // between creation and closing the program's handles
    const char* classes = "";  // each processor's efficiency class, from processor 0 of 0xFFFFF
    std::uint64_t offered = 0xFFFFF;  // the processors the system offers
};

TEST(FlowTest, WaitsAndSetsUpAsAsked) {
    const RunCase cases[] = {
        {L"/p:3 c:\\a.exe", {}},
        {L"/w /p:3 c:\\a.exe", {"Wait(process,1000)=0", "Pump", "ExitCode(process)"}},
        {L"/a:3 /e /bg /p:3 c:\\a.exe",
         {"SetAffinity(process,3)", "Efficiency(process)", "IoPriority(process)",
          "MemoryPriority(process)", "Resume(thread)"}},
        // 6 two-thread performance cores, 8 efficiency cores; low-power ones too; one class alone.
        // clang-format off
        {L"/a:pcores /p:3 c:\\a.exe", {"SetAffinity(process,4080)", "Resume(thread)"}, "11111111111100000000", 0xFFFF0},
        {L"/a:ecores /p:3 c:\\a.exe", {"SetAffinity(process,1044480)", "Resume(thread)"}, "11111111111100000000"},
        {L"/a:ecores /p:3 c:\\a.exe", {"SetAffinity(process,1048560)", "Resume(thread)"}, "22221111111100000000"},
        {L"/a:ecores /p:3 c:\\a.exe", {"SetAffinity(process,1048575)", "Resume(thread)"}, "00000000000000000000"},
        // clang-format on
        {L"/t /w /p:2 c:\\a.exe",
         {"CreateTreeJob(10240,0,0,0)", "Assign(job,process)", "SetPriority(process,16384)",
          "Resume(thread)", "JobMessage(port,1000)=0 4", "JobIsEmpty(job)=1", "Pump",
          "ExitCode(process)", "Close(port)", "Close(job)"}},
    };
    for (const RunCase& c : cases) {
        FakePlatform platform;
        platform.commandText = c.commandText;
        platform.files = {L"c:\\a.exe"};
        platform.systemMask = c.offered;
        for (const char* at = c.classes; *at != '\0'; ++at) {
            platform.processorClasses.push_back(
                {std::uint32_t(at - c.classes), std::uint32_t(*at - '0')});
        }
        Main(platform);
        std::vector<std::string> expected = {"CommandText", "LookupFile", "BusyOn", "StartProcess"};
        expected.insert(expected.end(), c.calls.begin(), c.calls.end());
        expected.insert(expected.end(), {"Close(thread)", "Close(process)", "BusyOff"});
        EXPECT_EQ(platform.calls, expected)
            << ::testing::PrintToString(std::wstring(c.commandText));
    }
}

TEST(FlowTest, FailedSetUpShowsTheLaunchMessageAndExitsWithItsError) {
    FakePlatform platform;
    platform.commandText = L"/t /p:3 c:\\a.exe";
    platform.files = {L"c:\\a.exe"};
    platform.failures["Assign"] = 5;  // ERROR_ACCESS_DENIED
    EXPECT_EQ(Main(platform), 5);
    ASSERT_EQ(platform.MessageCount(), 1);
    EXPECT_EQ(platform.messages[0], UsageText(kLaunchMessage));
    EXPECT_TRUE(platform.openHandles.empty());
}

// A logged run: the log is opened before any check, and its words go there and nowhere else.
TEST(FlowTest, LogKeepsTheRunsWordsAndTheProgramsOutput) {
    const std::wstring at = L"vantrel: 2024-03-09T22:05:07-05:30 started ";
    // The line, what opening the log fails with, the status, and how each write to it begins.
    // clang-format off
    const struct { const wchar_t* commandText; std::uint32_t logError; int exitStatus; std::vector<std::wstring> log; } cases[] = {
        {L"/log:run.log /r /p:3 a.exe -x", 0, 0, {at + L"\"d:\\work\\a.exe\" -x\r\n", L"\r\nvantrel: status=0 "}},
        {L"/log:run.log /p:9 a.exe", 0, 87, {at + L"/log:run.log /p:9 a.exe\r\n", UsageText(kPriority)}},
        {L"/log:run.log /parent:7:133500000000000000:3600000000 /time:1 /p:3 a.exe", 0, 1460, {at + L"/log:run.log /parent:7:133500000000000000:3600000000 /time:1 /p:3 a.exe\r\n"}},  // ends silently, leaving its line
        {L"/log:c:\\none\\run.log /p:3 a.exe", 3, 3, {}},
    };
    for (const auto& c : cases) {
        FakePlatform platform;
        platform.commandText = c.commandText;
        platform.files = {L"a.exe"};
        platform.logError = c.logError;
        platform.atLineStart = false;  // the program's output ended mid-line
        SCOPED_TRACE(::testing::PrintToString(std::wstring(c.commandText)));
        EXPECT_EQ(Main(platform), c.exitStatus);
        ASSERT_EQ(platform.logWrites.size(), c.log.size());
        for (std::size_t i = 0; i < c.log.size(); ++i) {
            EXPECT_EQ(platform.logWrites[i].substr(0, c.log[i].size()), c.log[i]);
        }
        EXPECT_TRUE(platform.errors.empty() && platform.reports.empty() && platform.openHandles.empty());
        const std::vector<std::string> failed{"CommandText", "OpenLog(c:\\none\\run.log)", "ShowMessage"};
        EXPECT_EQ(platform.calls == failed, c.logError != 0);  // nothing done after it
        EXPECT_EQ(platform.messages.size(), c.logError != 0 ? 1u : 0u);
        // The log is the program's output and error, its only inherited handle, with no window.
        for (const ProcessCreation& creation : platform.creations) {
            const std::array<Handle, 3> handles{nullptr, FakePlatform::kLog, FakePlatform::kLog};
            EXPECT_EQ(creation.startup.standardHandles, handles);
            EXPECT_EQ(creation.inheritedHandles, std::vector<Handle>{FakePlatform::kLog});
            EXPECT_EQ(creation.creationFlags, 0x20 | kExtendedStartupInfoPresent | kCreateNoWindow);
        }
    }
    // clang-format on
}

TEST(UsageTextTest, IsExactToTheByte) {
    EXPECT_EQ(UsageText(L"Some message."),
              L"Some message." + std::wstring(expected::kUsageAfterMessage));
}

TEST(UsageTextTest, MessagesAreExact) {
    EXPECT_EQ(kPriorityMessage, expected::kPriorityMessage);
    EXPECT_EQ(kNoExeMessage, expected::kNoExeMessage);
    EXPECT_EQ(kNoFileMessage, expected::kNoFileMessage);
    EXPECT_EQ(kLaunchMessage, expected::kLaunchMessage);
    EXPECT_EQ(kProcessorsMessage, expected::kProcessorsMessage);
    EXPECT_EQ(kParentMessage, expected::kParentMessage);
}

}  // namespace
}  // namespace modVantrel
