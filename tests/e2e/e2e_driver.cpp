// End-to-end cases for a built vantrel.exe, run under Wine with the null graphics driver:
//   vantrel_e2e <vantrel.exe> <trace-file> [probe.exe]
// Each case starts vantrel.exe with an exact command line and working folder, reads and answers
// its message box, and checks the exit status, the process it created (seen in Wine's relay trace
// of CreateProcessW and SetProcessInformation, which this program's stderr must be redirected to:
// <trace-file>) and what the probe, and the child it may start, recorded about their start. The
// probe defaults to vantrel_probe.exe beside this one.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "box_watch.h"
#include "command/help_text.h"
#include "platform/unique_handle.h"
#include "expected_usage.h"
#include "harness.h"

namespace fs = std::filesystem;

namespace {

enum class Message { None, Priority, Processors, NoExe, NoFile, Launch, Help };

std::wstring_view MessageText(Message message) {
    switch (message) {
        case Message::Priority:
            return expected::kPriorityMessage;
        case Message::Processors:
            return expected::kProcessorsMessage;
        case Message::NoExe:
            return expected::kNoExeMessage;
        case Message::NoFile:
            return expected::kNoFileMessage;
        case Message::Launch:
            return expected::kLaunchMessage;
        case Message::None:
        case Message::Help:
            break;
    }
    return L"";
}

// When vantrel ends: just after the probe, or its child, has ended; while it still runs; or the
// driver ends vantrel while it waits, and nothing of the tree may finish after that.
enum class Timing {
    Any,
    EndsAfterProbe,
    EndsWhileProbeRuns,
    EndsAfterChild,
    EndsWhileChildRuns,
    EndedWhileWaiting,
    EndedByTimeLimit,  // vantrel ends the tree 2 s after the resume, and nothing of it finishes
    // The probe keeps a window: asked to close at the time limit, it saves its work (its DONE
    // file) and exits; or it ignores the request, and is ended after the grace.
    ClosedWhenAsked,
    EndedAfterGrace
};

constexpr int kLaunchError = -1;  // the status is the error CreateProcessW gives for the program

constexpr std::uint32_t kLow = 0x40, kBelowNormal = 0x4000, kNormal = 0x20, kAboveNormal = 0x8000,
                        kHigh = 0x80, kRealtime = 0x100, kSuspended = 0x4;

// The efficiency hints traced: none; some; some also after the probe started its child.
enum class Hints { None, Some, AlsoForChild };

// How the probe starts a child of its own: none, on its console, without a console (so that its
// console host, which Wine puts in the job too, cannot outlive the probe because of the child),
// or also breaking away from the job.
constexpr std::uint32_t kNoChild = 0xFFFFFFFF, kAttached = 0, kDetached = DETACHED_PROCESS,
                        kBreakaway = DETACHED_PROCESS | CREATE_BREAKAWAY_FROM_JOB;

// A folder name outside every ANSI code page that holds Greek or CJK, but not both.
#define OUTSIDE_ANSI L"\u03A9\u03BC\u03AD\u03B3\u03B1-\u6F22\u5B57"

// How vantrel is started; its standard error is a file, which the checks read (InConsole: the
// console, by cmd /c "... > file" in one of its own). With its output in a file too (and its input,
// Detached from any console), it holds an inheritable handle that must not reach the program.
enum class Start { Plain, OutputInFile, HiddenStation, Detached, InConsole };

struct Row {
    const wchar_t* name;
    const wchar_t* arguments;  // vantrel's argument text; {w} stands for the work folder
    const wchar_t* directory;  // working folder, below the work folder ("": the work folder)
    Message message;
    int status;                // exit status, or kLaunchError
    const wchar_t* attempted;  // command line vantrel creates a process with; nullptr: none
    std::uint32_t flags;       // creation flags of that call
    std::uint32_t probeSleepMs = 0;
    std::uint32_t probeExit = 0;
    Timing timing = Timing::Any;
    std::uint32_t classSeen = 0;  // priority class the probe and its child read (0: not checked)
    std::uint64_t maskSeen = 0;   // affinity mask they read of the system's (0: not checked)
    Hints hints = Hints::None;
    std::uint32_t child = kNoChild;  // how the probe starts its child, which sleeps and exits so
    std::uint32_t childSleepMs = 0;
    std::uint32_t childExit = 0;
    int show = -1;  // the show command vantrel is started with, which the program must get
    Start start = Start::Plain;
    std::uint32_t reported = 0;  // with /r: the processes its line on standard error counts
};

// clang-format off
const Row kRows[] = {
    // The four messages, their statuses, and the order of the checks.
    {L"no arguments: priority message", L"", L"", Message::Priority, 87, nullptr, 0},
    {L"/p:3 alone: .exe message", L"/p:3", L"", Message::NoExe, 87, nullptr, 0},
    {L"missing file: file message", L"/p:3 {w}\\missing.exe", L"", Message::NoFile, 2, nullptr, 0},
    {L"text file named .exe: launch message", L"/p:3 {w}\\text.exe", L"", Message::Launch,
     kLaunchError, L"\"{w}\\text.exe\"", kNormal},
    {L"priority checked before an existing file", L"/p:9 {w}\\probe.exe", L"", Message::Priority, 87,
     nullptr, 0},
    {L"priority checked before .exe", L"/p:0 x", L"", Message::Priority, 87, nullptr, 0},
    {L"priority checked before a failing launch", L"/p:7 {w}\\text.exe", L"", Message::Priority, 87,
     nullptr, 0},
    {L".exe checked before the file", L"/p:3 {w}\\missing", L"", Message::NoExe, 87, nullptr, 0},
    {L"file checked before the launch", L"/p:3 {w}\\wild\\missing-*.exe", L"", Message::NoFile, 2,
     nullptr, 0},
    // Inputs that once ended in the fatal report.
    {L"lone quote: priority message", L"\"", L"", Message::Priority, 87, nullptr, 0},
    {L"lone quote after a priority: .exe message", L"/p:3 \"", L"", Message::NoExe, 87, nullptr, 0},
    {L"lone quote before a path keeps the blank after it: file message", L"/p:3 \" {w}\\probe.exe",
     L"", Message::NoFile, 2, nullptr, 0},
    {L"huge priority number: priority message", L"/p:99999999999 {w}\\probe.exe", L"",
     Message::Priority, 87, nullptr, 0},
    {L"huge negative priority number: priority message", L"/p:-99999999999 {w}\\probe.exe", L"",
     Message::Priority, 87, nullptr, 0},
    {L"huge &h priority number: priority message", L"/p:&hFFFFFFFFFF {w}\\probe.exe", L"",
     Message::Priority, 87, nullptr, 0},
    // What reaches the launched program.
    {L"arguments keep their case", L"/P:3 {w}\\probe.exe -Verbose MixedCase", L"", Message::None, 0,
     L"\"{w}\\probe.exe\" -Verbose MixedCase", kNormal},
    {L"typed .EXE keeps its case", L"/p:3 {w}\\PROBE.EXE", L"", Message::None, 0,
     L"\"{w}\\PROBE.EXE\"", kNormal},
    {L"double spaces between arguments kept", L"/p:3 {w}\\probe.exe a  b", L"", Message::None, 0,
     L"\"{w}\\probe.exe\" a  b", kNormal},
    {L"path split at the first .exe", L"/p:3 {w}\\probe.exe.files\\run.exe", L"", Message::None, 0,
     L"\"{w}\\probe.exe\" .files\\run.exe", kNormal},
    {L"switches in any case among the arguments", L"{w}\\probe.exe -A /W /P:5", L"", Message::None,
     3, L"\"{w}\\probe.exe\" -A", kHigh, 0, 3},
    {L"quoted argument with a space stays one", L"/p:3 {w}\\probe.exe -i \"my talk.wav\" /w", L"",
     Message::None, 0, L"\"{w}\\probe.exe\" -i \"my talk.wav\"", kNormal},
    {L"quoted program path after the path is an argument",
     L"/p:3 {w}\\probe.exe \"{w}\\sub\\inner.exe\"", L"", Message::None, 0,
     L"\"{w}\\probe.exe\" \"{w}\\sub\\inner.exe\"", kNormal},
    {L"the show command reaches the program", L"/p:3 {w}\\probe.exe", L"", Message::None, 0,
     L"\"{w}\\probe.exe\"", kNormal, 0, 0, Timing::Any, 0, 0, Hints::None, kNoChild, 0, 0,
     SW_SHOWMINNOACTIVE},
    // Standard handles, the console build and unattended runs.
    {L"output in a file reaches it there, and no other handle does", L"/w /p:3 {w}\\probe.exe", L"",
     Message::None, 0, L"\"{w}\\probe.exe\"", kNormal, 0, 0, Timing::Any, 0, 0, Hints::None,
     kNoChild, 0, 0, -1, Start::OutputInFile},
    {L"cmd /c ... > file: the program keeps the console for its other streams",
     L"/w /p:3 {w}\\probe.exe", L"", Message::None, 0, L"\"{w}\\probe.exe\"", kNormal, 0, 0,
     Timing::Any, 0, 0, Hints::None, kNoChild, 0, 0, -1, Start::InConsole},
    {L"without a console, every handle a file: no console window", L"/w /p:3 {w}\\probe.exe", L"",
     Message::None, 0, L"\"{w}\\probe.exe\"", kNormal | CREATE_NO_WINDOW, 0, 0, Timing::Any, 0, 0,
     Hints::None, kNoChild, 0, 0, -1, Start::Detached},
    {L"no box on a window station nobody sees", L"/p:9 x", L"", Message::Priority, 87, nullptr, 0, 0,
     0, Timing::Any, 0, 0, Hints::None, kNoChild, 0, 0, -1, Start::HiddenStation},
    // Quotes group inside a word, as in any program's name: never the decoy at {w}\ab.
    {L"quote in a word", L"/p:3 {w}\\a\" \"b\\p.exe \"\" x", L"", Message::None, 0,
     L"\"{w}\\a b\\p.exe\" \"\" x", kNormal},
    {L"quoted name ending in a blank: the file system drops it", L"/p:3 \"{w}\\probe.exe \" a b",
     L"", Message::None, 0, L"\"{w}\\probe.exe \" a b", kNormal},
    {L"quoted path with spaces", L"/p:3 \"{w}\\Dir With Space\\Probe Tool.exe\" -q", L"",
     Message::None, 0, L"\"{w}\\Dir With Space\\Probe Tool.exe\" -q", kNormal},
    {L"a name alone found in the working folder runs by its full path", L"/p:3 probe.exe rel", L"",
     Message::None, 0, L"\"{w}\\probe.exe\" rel", kNormal},
    {L"relative path into a subfolder", L"/p:3 sub\\inner.exe", L"", Message::None, 0,
     L"\"sub\\inner.exe\"", kNormal},
    {L"program only on the search path runs by its full path", L"/p:3 pathonly.exe", L"",
     Message::None, 0, L"\"{w}\\onpath\\pathonly.exe\"", kNormal},
    {L"/? shows the help, and nothing runs", L"/? /p:3 {w}\\probe.exe", L"", Message::Help, 0,
     nullptr, 0, 0, 0, Timing::Any, 0, 0, Hints::None, kNoChild, 0, 0, -1, Start::OutputInFile},
    {L"hidden file: file message", L"/p:3 {w}\\hidden.exe", L"", Message::NoFile, 2, nullptr, 0},
    {L"system file: file message", L"/p:3 {w}\\system.exe", L"", Message::NoFile, 2, nullptr, 0},
    {L"folder named like a program: file message", L"/p:3 {w}\\folder.exe", L"", Message::NoFile, 2,
     nullptr, 0},
    {L"wildcard * that matches: launch message", L"/p:3 {w}\\wild\\probe-*.exe", L"",
     Message::Launch, kLaunchError, L"\"{w}\\wild\\probe-*.exe\"", kNormal},
    {L"wildcard ? that matches: launch message", L"/p:3 {w}\\wild\\probe-?.exe", L"",
     Message::Launch, kLaunchError, L"\"{w}\\wild\\probe-?.exe\"", kNormal},
    {L"path outside the ANSI code page", L"/p:3 {w}\\" OUTSIDE_ANSI L"\\probe.exe -x", L"",
     Message::None, 0, L"\"{w}\\" OUTSIDE_ANSI L"\\probe.exe\" -x", kNormal},
    {L"working folder outside the ANSI code page", L"/p:3 probe.exe", OUTSIDE_ANSI, Message::None, 0,
     L"\"{w}\\" OUTSIDE_ANSI L"\\probe.exe\"", kNormal},
    // Waiting.
    {L"/w: ends just after the program", L"/w /p:3 {w}\\probe.exe", L"", Message::None, 0,
     L"\"{w}\\probe.exe\"", kNormal, 2500, 0, Timing::EndsAfterProbe},
    {L"no /w: ends while the program runs", L"/p:3 {w}\\probe.exe", L"", Message::None, 0,
     L"\"{w}\\probe.exe\"", kNormal, 4000, 5, Timing::EndsWhileProbeRuns},
    {L"/w: the program's exit status", L"/p:3 /w {w}\\probe.exe", L"", Message::None, 42,
     L"\"{w}\\probe.exe\"", kNormal, 0, 42},
    {L"/w: a large exit status", L"/w /p:3 {w}\\probe.exe", L"", Message::None, -1073741819,
     L"\"{w}\\probe.exe\"", kNormal, 0, 3221225477u},
    // The creation flag of each priority.
    {L"/p:1 creates with 0x40", L"/p:1 {w}\\probe.exe p1", L"", Message::None, 0,
     L"\"{w}\\probe.exe\" p1", kLow},
    {L"/p:2 creates with 0x4000", L"/p:2 {w}\\probe.exe p2", L"", Message::None, 0,
     L"\"{w}\\probe.exe\" p2", kBelowNormal},
    {L"/p:3 creates with 0x20", L"/p:3 {w}\\probe.exe p3", L"", Message::None, 0,
     L"\"{w}\\probe.exe\" p3", kNormal},
    {L"/p:4 creates with 0x8000", L"/p:4 {w}\\probe.exe p4", L"", Message::None, 0,
     L"\"{w}\\probe.exe\" p4", kAboveNormal},
    {L"/p:5 creates with 0x80", L"/p:5 {w}\\probe.exe p5", L"", Message::None, 0,
     L"\"{w}\\probe.exe\" p5", kHigh},
    {L"/p:6 creates with 0x100", L"/p:6 {w}\\probe.exe p6", L"", Message::None, 0,
     L"\"{w}\\probe.exe\" p6", kRealtime},
    {L"/p:2.5 reads as 2", L"/p:2.5 {w}\\probe.exe half2", L"", Message::None, 0,
     L"\"{w}\\probe.exe\" half2", kBelowNormal},
    {L"/p:3.5 reads as 4", L"/p:3.5 {w}\\probe.exe half3", L"", Message::None, 0,
     L"\"{w}\\probe.exe\" half3", kAboveNormal},
    {L"/p:&h6 reads as 6", L"/p:&h6 {w}\\probe.exe hex6", L"", Message::None, 0,
     L"\"{w}\\probe.exe\" hex6", kRealtime},
    {L"last /p: wins", L"/p:1 {w}\\probe.exe last /p:5", L"", Message::None, 0,
     L"\"{w}\\probe.exe\" last", kHigh},
    // The tree, affinity and efficiency options; the program is created suspended exactly when one
    // is given. Wine keeps a priority class only when SetPriorityClass sets it, and does not pass
    // Above Normal on to a child, so a process reading 0x8000 shows that vantrel set it.
    {L"/t: waits for a grandchild at its class; the program's status", L"/t /p:4 {w}\\probe.exe",
     L"", Message::None, 7, L"\"{w}\\probe.exe\"", kSuspended | kAboveNormal, 0, 7,
     Timing::EndsAfterChild, kAboveNormal, 0, Hints::None, kDetached, 2500, 9},
    {L"/t: ending vantrel while it waits ends the tree", L"/t /p:3 {w}\\probe.exe", L"",
     Message::None, 1, L"\"{w}\\probe.exe\"", kSuspended | kNormal, 5000, 0,
     Timing::EndedWhileWaiting, 0, 0, Hints::None, kDetached, 4000},
    {L"/t: a grandchild that breaks away is not waited for", L"/t {w}\\probe.exe /p:3", L"",
     Message::None, 0, L"\"{w}\\probe.exe\"", kSuspended | kNormal, 0, 0,
     Timing::EndsWhileChildRuns, 0, 0, Hints::None, kBreakaway, 4000},
    {L"/t /a: /e after the path are arguments", L"/p:3 {w}\\probe.exe /t /a:1 /e", L"",
     Message::None, 0, L"\"{w}\\probe.exe\" /t /a:1 /e", kNormal},
    {L"/a:1 reaches the program and its child", L"/a:1 /p:3 {w}\\probe.exe", L"", Message::None, 0,
     L"\"{w}\\probe.exe\"", kSuspended | kNormal, 0, 0, Timing::Any, 0, 1, Hints::None, kAttached},
    {L"/a: with 16 digits", L"/a:0000000000000001 /p:3 {w}\\probe.exe", L"", Message::None, 0,
     L"\"{w}\\probe.exe\"", kSuspended | kNormal, 0, 0, Timing::Any, 0, 1},
    {L"last /a: wins", L"/a:1 /p:3 /a:2 {w}\\probe.exe", L"", Message::None, 0,
     L"\"{w}\\probe.exe\"", kSuspended | kNormal, 0, 0, Timing::Any, 0, 2},
    {L"empty /a:: processors message", L"/a: /p:3 {w}\\probe.exe", L"", Message::Processors, 87,
     nullptr, 0},
    {L"/a: not hex: processors message", L"/a:1g /p:3 {w}\\probe.exe", L"", Message::Processors, 87,
     nullptr, 0},
    {L"/a: with 0x: processors message", L"/a:0x1 /p:3 {w}\\probe.exe", L"", Message::Processors,
     87, nullptr, 0},
    {L"/a: with a sign: processors message", L"/a:+1 /p:3 {w}\\probe.exe", L"",
     Message::Processors, 87, nullptr, 0},
    {L"/a: with 17 digits: processors message", L"/a:00000000000000001 /p:3 {w}\\probe.exe", L"",
     Message::Processors, 87, nullptr, 0},
    {L"/a:0: processors message", L"/a:0 /p:3 {w}\\probe.exe", L"", Message::Processors, 87,
     nullptr, 0},
    {L"/a: beyond the system mask: processors message", L"/a:8000000000000000 /p:3 {w}\\probe.exe",
     L"", Message::Processors, 87, nullptr, 0},
    {L"/a: partly beyond the system mask: processors message",
     L"/a:8000000000000001 /p:3 {w}\\probe.exe", L"", Message::Processors, 87, nullptr, 0},
    {L"priority checked before the mask", L"/p:9 /a:0 {w}\\probe.exe", L"", Message::Priority, 87,
     nullptr, 0},
    {L"mask checked before .exe", L"/a:0 /p:3 {w}\\missing", L"", Message::Processors, 87, nullptr,
     0},
    {L"/e reaches SetProcessInformation; the program runs", L"/e /w /p:3 {w}\\probe.exe", L"",
     Message::None, 5, L"\"{w}\\probe.exe\"", kSuspended | kNormal, 0, 5, Timing::Any, 0, 0,
     Hints::Some},
    {L"/t /e: a hint for each process of the tree", L"/t /e /p:3 {w}\\probe.exe", L"",
     Message::None, 0, L"\"{w}\\probe.exe\"", kSuspended | kNormal, 1000, 0, Timing::EndsAfterChild,
     0, 0, Hints::AlsoForChild, kDetached, 1000},
    {L"/time: /grace:0 /mem: end the program and its grandchild at once at the limit with 1460",
     L"/time:2 /grace:0 /mem:256M /p:3 {w}\\probe.exe", L"", Message::None, 1460,
     L"\"{w}\\probe.exe\"", kSuspended | kNormal, 6000, 0, Timing::EndedByTimeLimit, 0, 0,
     Hints::None, kDetached, 4000},
    {L"/time: a child that asks to break away is refused, and nothing is left after the limit",
     L"/time:2 /grace:0 /p:3 {w}\\probe.exe", L"", Message::None, 1460, L"\"{w}\\probe.exe\"",
     kSuspended | kNormal, 6000, 0, Timing::EndedByTimeLimit, 0, 0, Hints::None, kBreakaway, 4000},
    {L"/time: /grace: a window asked to close saves its work; the report begins a line",
     L"/r /time:2 /grace:5 /p:3 {w}\\probe.exe", L"", Message::None, 1460,
     L"\"{w}\\probe.exe\"", kSuspended | kNormal, 8000, 0, Timing::ClosedWhenAsked},
    {L"/time: /grace: a window that ignores the request is ended after the grace",
     L"/r /time:2 /grace:1 /p:3 {w}\\probe.exe", L"", Message::None, 1460,
     L"\"{w}\\probe.exe\"", kSuspended | kNormal, 8000, 0, Timing::EndedAfterGrace},
    {L"/parent: a parent that ends during the grace ends the tree at once with 1067",
     L"/r /parent:{parent} /time:2 /grace:60 /p:3 {w}\\probe.exe", L"", Message::None, 1067,
     L"\"{w}\\probe.exe\"", kSuspended | kNormal, 8000, 0, Timing::EndedAfterGrace},
    {L"options in any case", L"/T /A:2 /E /p:4 {w}\\probe.exe", L"", Message::None, 0,
     L"\"{w}\\probe.exe\"", kSuspended | kAboveNormal, 2000, 0, Timing::EndsAfterProbe,
     kAboveNormal, 2, Hints::Some},
    {L"/bg /t /a:ecores /p:2 under Wine: Below Normal, every processor",
     L"/bg /t /a:ecores /p:2 {w}\\probe.exe", L"", Message::None, 4, L"\"{w}\\probe.exe\"",
     kSuspended | kBelowNormal, 0, 4, Timing::EndsAfterChild, kBelowNormal, ~0ULL,
     Hints::None, kDetached, 1000},
    {L"/R /t: reports on the whole tree, its ended child counted", L"/R /t /p:3 {w}\\probe.exe",
     L"", Message::None, 6, L"\"{w}\\probe.exe\"", kSuspended | kNormal, 2000, 6,
     Timing::EndsAfterProbe, 0, 0, Hints::None, kDetached, 0, 0, -1, Start::Plain, 2},
};
// clang-format on

constexpr DWORD kRunLimitMs = 30000;
constexpr int kProbeEndLimitMs = 15000;
constexpr std::uint64_t kSoonAfterMs = 2000;         // generous: the wait sees the end at once
constexpr std::uint32_t kKillAfterMs = 3000;         // when the driver ends vantrel while it waits
constexpr std::uint32_t kChildRecordAfterMs = 1000;  // time for vantrel to hear of the child
constexpr std::uint32_t kChildStartAfterMs = 500;    // by then vantrel has heard of the probe

// A child that asks to break away from a job with a limit is refused: ERROR_ACCESS_DENIED.
bool BreakawayRefused(const Row& row) {
    return row.child == kBreakaway && row.timing == Timing::EndedByTimeLimit;
}

std::wstring Replace(std::wstring text, std::wstring_view from, std::wstring_view to) {
    for (std::size_t at = text.find(from); at != std::wstring::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// A string as Wine's traces print it: characters outside printable ASCII as a backslash and 4 hex
// digits.
std::wstring TraceForm(std::wstring_view text) {
    std::wstring form = L"L\"";
    for (const wchar_t c : text) {
        const wchar_t* named = c == L'\n'   ? L"\\n"
                               : c == L'\r' ? L"\\r"
                               : c == L'\t' ? L"\\t"
                               : c == L'"'  ? L"\\\""
                               : c == L'\\' ? L"\\\\"
                                            : nullptr;
        if (named != nullptr) {
            form += named;
        } else if (c < L' ' || c >= 127) {
            wchar_t escape[8];
            swprintf(escape, 8, L"\\%04x", static_cast<unsigned>(c));
            form += escape;
        } else {
            form += c;
        }
    }
    return form + L"\"";
}

// The arguments of each call of `function` in a piece of relay trace, as printed:
//   0024:Call KERNEL32.CreateProcessW(app L"..",cmd L"..",sa,ta,inherit,flags,env,dir,si,pi) ret=..
struct Call {
    std::size_t at;  // where its line starts in the trace
    std::vector<std::string> arguments;
};

std::vector<Call> TracedCalls(const std::string& trace, const std::string& function) {
    std::vector<Call> found;
    for (std::size_t lineStart = 0; lineStart < trace.size();) {
        const std::size_t lineAt = lineStart;
        std::size_t lineEnd = trace.find('\n', lineStart);
        if (lineEnd == std::string::npos) {
            lineEnd = trace.size();
        }
        const std::string line = trace.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;
        const std::size_t call = line.find("." + function + "(");
        if (line.find(":Call ") == std::string::npos || call == std::string::npos) {
            continue;
        }
        // Split the arguments at the commas outside quoted strings.
        std::vector<std::string> arguments(1);
        bool quoted = false;
        for (std::size_t at = call + function.size() + 2; at < line.size(); ++at) {
            const char c = line[at];
            if (quoted && c == '\\') {
                arguments.back() += line.substr(at, 2);
                ++at;
                continue;
            }
            if (c == '"') {
                quoted = !quoted;
            } else if (!quoted && c == ',') {
                arguments.emplace_back();
                continue;
            } else if (!quoted && c == ')') {
                break;
            }
            arguments.back() += c;
        }
        found.push_back({lineAt, arguments});
    }
    return found;
}

// The trace shows whole registers: only the low 32 bits belong to a 32-bit argument.
std::uint32_t Low32(const std::string& argument) {
    return static_cast<std::uint32_t>(std::stoull(argument, nullptr, 16));
}

struct Creation {
    std::size_t at = 0;
    std::wstring commandLine;  // as traced
    std::uint32_t flags = 0;
};

std::vector<Creation> TracedCreations(const std::string& trace) {
    std::vector<Creation> found;
    for (const auto& [at, arguments] : TracedCalls(trace, "CreateProcessW")) {
        if (arguments.size() == 10) {
            const std::string traced = arguments[1].substr(arguments[1].find(' ') + 1);  // ASCII
            found.push_back({at, std::wstring(traced.begin(), traced.end()), Low32(arguments[5])});
        }
    }
    return found;
}

// Calls SetProcessInformation(process, ProcessPowerThrottling, state, size of the state) that
// start at `from` or later in the trace.
int EfficiencyHints(const std::string& trace, std::size_t from) {
    int hints = 0;
    for (const auto& [at, arguments] : TracedCalls(trace, "SetProcessInformation")) {
        hints += at >= from && arguments.size() == 4 && Low32(arguments[1]) == 4 &&
                 Low32(arguments[3]) == 12;
    }
    return hints;
}

std::string ReadBytes(const fs::path& path, std::uintmax_t from) {
    std::ifstream file(path, std::ios::binary);
    file.seekg(static_cast<std::streamoff>(from));
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::uintmax_t SizeOf(const fs::path& path) {
    std::error_code error;
    const std::uintmax_t size = fs::file_size(path, error);
    return error ? 0 : size;
}

// The probe's record: command line, working folder, priority class, affinity mask, error of
// starting its child.
std::vector<std::wstring> ReadRecord(const fs::path& path) {
    const std::string bytes = ReadBytes(path, 0);
    std::wstring text(bytes.size() / 2, L'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        text[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                       static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    }
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    for (std::size_t end = text.find(L'\n'); end != std::wstring::npos;
         end = text.find(L'\n', start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

bool WaitForFile(const fs::path& path, int limitMs) {
    for (int waited = 0; !fs::exists(path); waited += 20) {
        if (waited >= limitMs) {
            return false;
        }
        ::Sleep(20);
    }
    return true;
}

std::uint64_t WrittenAt(const fs::path& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        return 0;
    }
    return (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
           data.ftLastWriteTime.dwLowDateTime;
}

// The error with which process creation fails for this command line, its program taken from the
// quotes at its head as vantrel takes it, in this working folder.
std::uint32_t CreationError(const std::wstring& commandLine, const std::wstring& directory) {
    const std::wstring program = commandLine.substr(1, commandLine.find(L'"', 1) - 1);
    std::wstring line = commandLine;
    wchar_t previous[MAX_PATH * 4] = {};
    ::GetCurrentDirectoryW(MAX_PATH * 4, previous);
    ::SetCurrentDirectoryW(directory.c_str());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION created{};
    std::uint32_t error = 0;
    if (::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                         nullptr, nullptr, &startup, &created)) {
        ::TerminateProcess(created.hProcess, 1);
        ::CloseHandle(created.hThread);
        ::CloseHandle(created.hProcess);
    } else {
        error = ::GetLastError();
    }
    ::SetCurrentDirectoryW(previous);
    return error;
}

std::wstring Hex(std::uint64_t value) {
    wchar_t text[24];
    swprintf(text, 24, L"0x%llX", static_cast<unsigned long long>(value));
    return text;
}

// The settings that the probe or its child recorded, against those the row expects.
void CheckRecord(const std::vector<std::wstring>& lines, const Row& row, const std::wstring& who,
                 e2e::Checks& checks) {
    checks.Expect(lines.size() >= 5, L"no record from the " + who);
    if (lines.size() < 5) {
        return;
    }
    const wchar_t* const childError = who == L"probe" && BreakawayRefused(row) ? L"5" : L"0";
    checks.Expect(lines[4] == childError,
                  L"the " + who + L"'s start of its child gave error " + lines[4]);
    checks.Expect(
        row.classSeen == 0 || lines[2] == Hex(row.classSeen),
        L"the " + who + L"'s priority class " + lines[2] + L", expected " + Hex(row.classSeen));
    DWORD_PTR own = 0;
    DWORD_PTR system = 0;
    ::GetProcessAffinityMask(::GetCurrentProcess(), &own, &system);
    const std::uint64_t mask = row.maskSeen & system;
    checks.Expect(mask == 0 || lines[3] == Hex(mask),
                  L"the " + who + L"'s affinity mask " + lines[3] + L", expected " + Hex(mask));
    // Vantrel's standard error, always a file here, and the show command it was given, if any.
    const std::wstring startup =
        Hex(STARTF_USESTDHANDLES | (row.show >= 0 ? STARTF_USESHOWWINDOW : 0)) + L" " +
        std::to_wstring(std::max(row.show, 0));
    checks.Expect(who != L"probe" || (lines.size() > 5 && lines[5] == startup),
                  L"the probe's start-up flags and show command, not " + startup);
}

// The figures Wine gives honestly (its times, peaks and I/O read 0 or are refused): the status,
// the time the program ran at least, the processes. The line's form is the unit tests' to prove.
void CheckReport(const std::string& written, const Row& row, std::uint32_t status,
                 e2e::Checks& checks) {
    int shown = 0;
    double seconds = 0;
    unsigned processes = 0;
    const bool read =
        std::sscanf(written.c_str(),
                    "vantrel: status=%d elapsed=%lfs user=%*s kernel=%*s processes=%u", &shown,
                    &seconds, &processes) == 3;
    const double least = row.probeSleepMs + (row.child == kNoChild ? 0 : kChildStartAfterMs);
    checks.Expect(
        read && shown == static_cast<std::int32_t>(status) && processes == row.reported &&
            seconds * 1000 >= least && seconds * 1000 <= least + kSoonAfterMs,
        L"report \"" + e2e::Visible(std::wstring(written.begin(), written.end())) + L"\"");
}

// "{parent}" of a row that expects its end (1067): a probe that records nothing, sleeps 4 s, exits.
HANDLE StartParent(const std::wstring& work) {
    wchar_t environment[] = L"VANTREL_PROBE_SLEEP_MS=4000\0";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION created{};  // left null when creation fails
    ::CreateProcessW((work + L"\\probe.exe").c_str(), nullptr, nullptr, nullptr, FALSE,
                     CREATE_UNICODE_ENVIRONMENT, environment, nullptr, &startup, &created);
    ::CloseHandle(created.hThread);
    return created.hProcess;
}

struct Setup {
    std::wstring vantrel;
    fs::path trace;
    fs::path work;
    bool console = false;  // the build under test is vantrel.com
};

// A file for a child's standard output or error, inheritable, empty.
modVantrel::KernelHandle OpenCapture(const fs::path& path) {
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    return modVantrel::KernelHandle(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                                  &inheritable, CREATE_ALWAYS, 0, nullptr));
}

void RunRow(const Row& row, int index, const Setup& setup, e2e::Suite& suite) {
    e2e::Checks checks;
    const std::wstring work = setup.work.wstring();
    const std::wstring directory = *row.directory ? work + L"\\" + row.directory : work;
    const fs::path record = setup.work / (L"record-" + std::to_wstring(index) + L".txt");
    const fs::path done = setup.work / (L"done-" + std::to_wstring(index) + L".txt");
    const fs::path childRecord = setup.work / (L"record-" + std::to_wstring(index) + L"-child.txt");
    const fs::path childDone = setup.work / (L"done-" + std::to_wstring(index) + L"-child.txt");
    ::SetEnvironmentVariableW(L"VANTREL_PROBE_RECORD", record.c_str());
    ::SetEnvironmentVariableW(L"VANTREL_PROBE_DONE", done.c_str());
    ::SetEnvironmentVariableW(L"VANTREL_PROBE_SLEEP_MS", std::to_wstring(row.probeSleepMs).c_str());
    ::SetEnvironmentVariableW(L"VANTREL_PROBE_EXIT", std::to_wstring(row.probeExit).c_str());
    ::SetEnvironmentVariableW(
        L"VANTREL_PROBE_RECORD_AFTER_MS",
        row.child == kNoChild ? nullptr : std::to_wstring(kChildStartAfterMs).c_str());
    ::SetEnvironmentVariableW(L"VANTREL_PROBE_START_CHILD",
                              row.child == kNoChild ? nullptr : Hex(row.child).c_str());
    ::SetEnvironmentVariableW(L"VANTREL_PROBE_CHILD_RECORD", childRecord.c_str());
    ::SetEnvironmentVariableW(L"VANTREL_PROBE_CHILD_RECORD_AFTER_MS",
                              std::to_wstring(kChildRecordAfterMs).c_str());
    ::SetEnvironmentVariableW(L"VANTREL_PROBE_CHILD_DONE", childDone.c_str());
    ::SetEnvironmentVariableW(L"VANTREL_PROBE_CHILD_SLEEP_MS",
                              std::to_wstring(row.childSleepMs).c_str());
    ::SetEnvironmentVariableW(L"VANTREL_PROBE_CHILD_EXIT", std::to_wstring(row.childExit).c_str());
    const bool saves = row.timing == Timing::ClosedWhenAsked;
    const bool stopped = saves || row.timing == Timing::EndedAfterGrace;
    ::SetEnvironmentVariableW(L"VANTREL_PROBE_WINDOW",
                              stopped ? (saves ? L"save" : L"ignore") : nullptr);

    const std::uintmax_t traceFrom = SizeOf(setup.trace);
    const modVantrel::KernelHandle parent(row.status == 1067 ? StartParent(work) : nullptr);
    const std::wstring arguments = Replace(Replace(row.arguments, L"{w}", work), L"{parent}",
                                           std::to_wstring(::GetProcessId(parent.get())));
    const fs::path output = setup.work / (L"output-" + std::to_wstring(index) + L".txt");
    const bool shell = row.start == Start::InConsole, detached = row.start == Start::Detached;
    const std::wstring commandLine = (shell ? L"cmd.exe /s /c \"\"" : L"\"") + setup.vantrel +
                                     L"\"" + (arguments.empty() ? L"" : L" " + arguments) +
                                     (shell ? L" > " + output.wstring() + L"\"" : L"");
    const fs::path error = setup.work / (L"error-" + std::to_wstring(index) + L".txt");
    const modVantrel::KernelHandle errorFile = OpenCapture(error);
    const bool toFile = row.start == Start::OutputInFile || detached;
    const modVantrel::KernelHandle outputFile =
        toFile ? OpenCapture(output) : modVantrel::KernelHandle();
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    const modVantrel::KernelHandle held(  // a handle of vantrel's own, inheritable, signalled
        toFile ? ::CreateEventW(&inheritable, TRUE, TRUE, nullptr) : nullptr);
    const std::wstring heldValue = std::to_wstring(reinterpret_cast<std::uintptr_t>(held.get()));
    ::SetEnvironmentVariableW(L"VANTREL_PROBE_HANDLE", toFile ? heldValue.c_str() : nullptr);
    e2e::StartOptions options{
        row.show, outputFile.get(), shell ? nullptr : errorFile.get(),
        row.start == Start::HiddenStation ? L"vantrel-e2e\\Default" : nullptr};
    options.input = detached ? outputFile.get() : nullptr;
    options.creationFlags = detached ? DETACHED_PROCESS : shell ? CREATE_NEW_CONSOLE : 0;
    const bool kill = row.timing == Timing::EndedWhileWaiting;
    const bool cut = kill || row.timing == Timing::EndedByTimeLimit || (stopped && !saves);
    const e2e::WatchedRun run = e2e::RunAnsweringBoxes(
        shell ? L"C:\\windows\\system32\\cmd.exe" : setup.vantrel, commandLine, directory,
        kill ? kKillAfterMs : kRunLimitMs, {}, options);
    const bool probeDoneAtEnd = fs::exists(done);
    const bool childDoneAtEnd = fs::exists(childDone);
    if (!run.started) {
        checks.Expect(false,
                      L"vantrel.exe did not start, error " + std::to_wstring(run.startError));
        suite.Report(row.name, checks);
        return;
    }
    checks.Expect(run.ended != kill,
                  kill ? L"ended before the driver ended it"
                       : L"still running after " + std::to_wstring(kRunLimitMs) + L" ms");

    // The console build, and vantrel.exe where no box can be seen, write the text instead.
    const bool boxes = !setup.console && row.start != Start::HiddenStation;
    const std::string written = ReadBytes(error, 0);  // UTF-8, here only ASCII
    const bool help = row.message == Message::Help;
    const std::wstring text =
        row.message == Message::None || boxes || help
            ? L""
            : std::wstring(MessageText(row.message)) + std::wstring(expected::kUsageAfterMessage);
    // The help: in vantrel.exe's box, or on vantrel.com's standard output.
    const std::wstring helpText = modVantrel::HelpText();
    checks.Expect(
        !help || boxes || ReadBytes(output, 0) == std::string(helpText.begin(), helpText.end()),
        L"the help is not on standard output");
    checks.Expect(
        row.reported != 0 || stopped || written == std::string(text.begin(), text.end()),
        L"standard error \"" + e2e::Visible(std::wstring(written.begin(), written.end())) + L"\"");
    if (row.message == Message::None || !boxes) {
        checks.Expect(run.boxes.empty(),
                      L"unexpected box: " +
                          (run.boxes.empty() ? std::wstring() : e2e::Visible(run.boxes[0].text)));
    } else {
        const std::wstring expected = help ? helpText
                                           : std::wstring(MessageText(row.message)) +
                                                 std::wstring(expected::kUsageAfterMessage);
        checks.Expect(run.boxes.size() == 1,
                      std::to_wstring(run.boxes.size()) + L" boxes shown, not 1");
        if (!run.boxes.empty()) {
            checks.Expect(run.boxes[0].caption == L"vantrel",
                          L"caption \"" + e2e::Visible(run.boxes[0].caption) + L"\"");
            checks.Expect(run.boxes[0].buttons == std::vector<int>{IDOK}, L"not one OK button");
            checks.Expect(!run.boxes[0].icon, L"an icon shown");
            checks.Expect(run.boxes[0].text == expected,
                          L"box text \"" + e2e::Visible(run.boxes[0].text) + L"\", expected \"" +
                              e2e::Visible(expected) + L"\"");
        }
    }

    const std::wstring attempted = row.attempted ? Replace(row.attempted, L"{w}", work) : L"";
    const std::uint32_t status = row.status == kLaunchError
                                     ? CreationError(attempted, directory)
                                     : static_cast<std::uint32_t>(row.status);
    checks.Expect(run.exitCode == status, L"exit status " + std::to_wstring(run.exitCode) +
                                              L", expected " + std::to_wstring(status));
    if (row.reported != 0) {
        CheckReport(written, row, status, checks);
    }
    // After the program's progress line, which ends in a carriage return, the report begins a
    // line of its own and says how the stop went.
    const std::string stop = saves ? " stop=closed\r\n" : " stop=ended\r\n";
    const std::string head = "progress\r\r\nvantrel: status=" + std::to_string(status) + " ";
    checks.Expect(
        !stopped || (written.rfind(head, 0) == 0 && written.size() > stop.size() &&
                     written.compare(written.size() - stop.size(), stop.size(), stop) == 0),
        L"the stop's report \"" + e2e::Visible(std::wstring(written.begin(), written.end())) +
            L"\"");

    if (row.message != Message::None || row.attempted == nullptr) {
        checks.Expect(!fs::exists(record), L"the probe ran");
    } else {
        if (cut) {
            // Long enough for the probe and its child to finish, had they survived.
            ::Sleep(kChildStartAfterMs +
                    std::max(row.probeSleepMs, kChildRecordAfterMs + row.childSleepMs) +
                    static_cast<DWORD>(kSoonAfterMs));
            checks.Expect(!fs::exists(done) && !fs::exists(childDone),
                          L"the tree finished after vantrel was ended");
        } else {
            checks.Expect(WaitForFile(done, kProbeEndLimitMs), L"the probe did not end");
        }
        const std::vector<std::wstring> lines = ReadRecord(record);
        CheckRecord(lines, row, L"probe", checks);
        // The console build passes its console's own error handle; vantrel.exe passes none.
        checks.Expect(!shell || (lines.size() > 7 && lines[7] == (setup.console ? L"c" : L"-")),
                      L"the probe's standard error is not as expected");
        if (toFile) {
            checks.Expect(ReadBytes(output, 0) == std::string("o\0k\0", 4),
                          L"the probe's output is not in the file");
            checks.Expect(lines.size() > 6 && lines[6] == L"0",
                          L"a handle that vantrel held reached the probe");
        }
        if (lines.size() >= 2) {
            checks.Expect(lines[0] == attempted, L"probe's command line \"" +
                                                     e2e::Visible(lines[0]) + L"\", expected \"" +
                                                     e2e::Visible(attempted) + L"\"");
            checks.Expect(lines[1] == directory, L"probe's folder \"" + e2e::Visible(lines[1]) +
                                                     L"\", expected \"" + e2e::Visible(directory) +
                                                     L"\"");
        }
        if (row.child != kNoChild && !BreakawayRefused(row)) {
            checks.Expect(cut || WaitForFile(childDone, kProbeEndLimitMs),
                          L"the probe's child did not end");
            CheckRecord(ReadRecord(childRecord), row, L"probe's child", checks);
        }
        const bool ofChild =
            row.timing == Timing::EndsAfterChild || row.timing == Timing::EndsWhileChildRuns;
        const std::wstring who = ofChild ? L"the probe's child" : L"the program";
        const bool doneAtEnd = ofChild ? childDoneAtEnd : probeDoneAtEnd;
        if (row.timing == Timing::EndsAfterProbe || row.timing == Timing::EndsAfterChild) {
            checks.Expect(doneAtEnd, L"ended before " + who + L" did");
            const std::uint64_t written = WrittenAt(ofChild ? childDone : done);
            const std::uint64_t after = run.endedAt > written ? (run.endedAt - written) / 10000 : 0;
            checks.Expect(!doneAtEnd || after <= kSoonAfterMs,
                          L"ended " + std::to_wstring(after) + L" ms after " + who);
        } else if (row.timing == Timing::EndsWhileProbeRuns ||
                   row.timing == Timing::EndsWhileChildRuns) {
            checks.Expect(!doneAtEnd, L"ended only after " + who + L" did");
        }
    }
    // Read once the probe has ended: its own creation of its child follows vantrel's.
    const std::string trace = ReadBytes(setup.trace, traceFrom);
    std::vector<Creation> creations = TracedCreations(trace);  // after cmd's start of vantrel:
    creations.erase(creations.begin(), creations.begin() + (shell && !creations.empty() ? 1 : 0));
    const std::size_t calls = row.child == kNoChild ? 1 : 2;
    if (row.attempted == nullptr) {
        checks.Expect(creations.empty(), L"created a process: " +
                                             (creations.empty() ? L"" : creations[0].commandLine));
    } else if (creations.size() != calls) {
        checks.Expect(false, std::to_wstring(creations.size()) +
                                 L" CreateProcessW calls in the trace, expected " +
                                 std::to_wstring(calls));
    } else {
        checks.Expect(
            creations[0].commandLine == TraceForm(attempted),
            L"created with " + creations[0].commandLine + L", expected " + TraceForm(attempted));
        // Standard error, a file, is passed on through the extended start-up record.
        checks.Expect(
            creations[0].flags == (row.flags | EXTENDED_STARTUPINFO_PRESENT),
            L"creation flags " + Hex(creations[0].flags) + L", expected " + Hex(row.flags));
    }
    const int hints = EfficiencyHints(trace, 0);
    checks.Expect((hints == 0) == (row.hints == Hints::None),
                  std::to_wstring(hints) + L" efficiency hints traced");
    // The probe starts its child once vantrel has heard of the probe: a later hint is the child's.
    checks.Expect(
        row.hints != Hints::AlsoForChild ||
            EfficiencyHints(trace, creations.size() > 1 ? creations[1].at : trace.npos) > 0,
        L"no efficiency hint after the probe started its child");
    suite.Report(row.name, checks);
}

// A scheduled task's run: vantrel with no standard handles keeps its start line, a console
// program's output and the report in the log named from the current folder, and a second run
// appends. Run before the rows, whose settings of the probe would otherwise still hold.
void RunLogCase(const Setup& setup, e2e::Suite& suite) {
    e2e::Checks checks;
    const fs::path folder = setup.work / L"logged";
    fs::create_directories(folder);
    ::SetEnvironmentVariableW(L"VANTREL_PROBE_HANDLE", L"0");  // "ok" on its output
    const std::wstring probe = (setup.work / L"probe.exe").wstring();
    e2e::StartOptions options;
    options.output = INVALID_HANDLE_VALUE;  // passed as no handle at all, as a task has none
    for (int run = 0; run < 2; ++run) {
        const e2e::WatchedRun watched = e2e::RunAnsweringBoxes(
            setup.vantrel, L"\"" + setup.vantrel + L"\" /log:run.log /r /p:3 " + probe + L" x",
            folder.wstring(), kRunLimitMs, {}, options);
        checks.Expect(watched.ended && watched.exitCode == 0 && watched.boxes.empty(),
                      L"a run did not end alone with status 0");
    }
    const std::string text = ReadBytes(folder / L"run.log", 0);
    const char kRest[] = "\" x\r\no\0k\0\r\nvantrel: status=0 elapsed=";  // "ok" in UTF-16
    const std::string middle = " started \"" + std::string(probe.begin(), probe.end()) +
                               std::string(kRest, sizeof kRest - 1);
    constexpr std::size_t kTimeEnd = 34;  // "vantrel: " and a 25-character time
    std::size_t at = 0;
    for (int run = 0; run < 2 && at < text.size(); ++run) {
        char sign = 0;  // of the offset from UTC
        const bool read =
            std::sscanf(text.c_str() + at, "vantrel: %*4u-%*2u-%*2uT%*2u:%*2u:%*2u%c%*2u:%*2u",
                        &sign) == 1;
        checks.Expect(read && (sign == '+' || sign == '-') &&
                          text.compare(at + kTimeEnd, middle.size(), middle) == 0,
                      L"run " + std::to_wstring(run + 1) + L"'s lines");
        at = text.find("\r\n", at + kTimeEnd + middle.size());
        at = at == std::string::npos ? text.size() + 1 : at + 2;
    }
    checks.Expect(at == text.size(),
                  L"the log \"" + e2e::Visible(std::wstring(text.begin(), text.end())) + L"\"");
    suite.Report(L"/log: without standard handles: start line, output, report; appended", checks);
}

void Copy(const fs::path& from, const fs::path& to) {
    fs::create_directories(to.parent_path());
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
}

// The files the cases name, below a fresh work folder; reports whether the file system kept
// what the cases rely on.
void MakeWorkFolder(const Setup& setup, const fs::path& probe, e2e::Suite& suite) {
    const fs::path& work = setup.work;
    fs::remove_all(work);
    fs::create_directories(work);
    Copy(probe, work / L"probe.exe");
    Copy(probe, work / L"Dir With Space" / L"Probe Tool.exe");
    Copy(probe, work / L"sub" / L"inner.exe");
    Copy(probe, work / L"a b" / L"p.exe");
    Copy(probe, work / L"ab" / L"p.exe");
    Copy(probe, work / L"onpath" / L"pathonly.exe");
    Copy(probe, work / L"wild" / L"probe-a.exe");
    Copy(probe, work / OUTSIDE_ANSI / L"probe.exe");
    Copy(probe, work / L"hidden.exe");
    Copy(probe, work / L"system.exe");
    fs::create_directories(work / L"folder.exe");
    std::ofstream(work / L"text.exe") << "This is not a program.\r\n";
    ::SetFileAttributesW((work / L"hidden.exe").c_str(), FILE_ATTRIBUTE_HIDDEN);
    ::SetFileAttributesW((work / L"system.exe").c_str(), FILE_ATTRIBUTE_SYSTEM);

    const std::wstring onPath = (work / L"onpath").wstring();
    std::wstring path(32768, L'\0');
    path.resize(::GetEnvironmentVariableW(L"PATH", path.data(), 32768));
    ::SetEnvironmentVariableW(L"PATH", (onPath + L";" + path).c_str());

    e2e::Checks checks;
    checks.Expect(::GetFileAttributesW((work / L"hidden.exe").c_str()) & FILE_ATTRIBUTE_HIDDEN,
                  L"hidden attribute not kept");
    checks.Expect(::GetFileAttributesW((work / L"system.exe").c_str()) & FILE_ATTRIBUTE_SYSTEM,
                  L"system attribute not kept");
    wchar_t found[MAX_PATH] = {};
    checks.Expect(::SearchPathW(nullptr, L"pathonly.exe", nullptr, MAX_PATH, found, nullptr) > 0,
                  L"pathonly.exe not on the search path");
    checks.Expect(!setup.trace.empty() && fs::exists(setup.trace), L"no trace file");
    // The mask cases need CPUs 0 and 1 and no CPU 63.
    DWORD_PTR processMask = 0;
    DWORD_PTR systemMask = 0;
    ::GetProcessAffinityMask(::GetCurrentProcess(), &processMask, &systemMask);
    checks.Expect((systemMask & 3) == 3 && (systemMask >> 63) == 0,
                  L"system affinity mask " + Hex(systemMask));
    suite.Report(L"setup: work folder, attributes, search path, trace, processors", checks);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        e2e::Print(
            L"usage: vantrel_e2e <vantrel.exe> <trace-file> [probe.exe]  (stderr to the "
            L"trace file)\n");
        return 2;
    }
    Setup setup;
    setup.vantrel = fs::absolute(argv[1]).wstring();
    setup.trace = fs::absolute(argv[2]);
    setup.console = fs::path(setup.vantrel).extension() == L".com";
    // A window station that nobody sees, as services and unattended tasks have.
    const HWINSTA hidden = ::CreateWindowStationW(L"vantrel-e2e", 0, WINSTA_ALL_ACCESS, nullptr);
    const fs::path probe = argc > 3 ? fs::path(argv[3]) : e2e::Beside(L"vantrel_probe.exe");
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    setup.work = fs::path(temp) / (L"vantrel-e2e-" + std::to_wstring(::GetCurrentProcessId()));

    e2e::Suite suite;
    MakeWorkFolder(setup, probe, suite);
    // Only the processes this one starts trace their calls; RelayInclude in the prefix keeps the
    // trace to CreateProcessW.
    ::SetEnvironmentVariableW(L"WINEDEBUG", L"-all,+relay");
    int index = 0;
    RunLogCase(setup, suite);
    for (const Row& row : kRows) {
        RunRow(row, ++index, setup, suite);
    }
    ::CloseWindowStation(hidden);
    std::error_code ignored;
    fs::remove_all(setup.work, ignored);
    return suite.Finish();
}
