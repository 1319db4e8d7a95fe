// The whole run, Main over the recording fake, checked against what the reader asked for.
//
// Input: UTF-16 command text, low byte first, then three bytes that script the platform:
//   third-to-last byte: Vantrel's standard input, output and error, two bits each (0 none,
//              1 a console, 2 a file or pipe of its own, 3 the one file shared by all so marked),
//              and bit 6 whether the program shares Vantrel's console;
//   second-to-last byte: the creation error code (255 stands for 740), or the exit code;
//   last byte: bit 0 the file lookup finds the file, bit 1 process creation succeeds,
//              bits 2-4 how many timed-out waits come before the program (or its tree) ends,
//              bit 5 the system offers processor 0 alone (else all 64),
//              bits 6-7 the set-up step that fails: none, the affinity, the job's, the resume.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "command/command_line_reader.h"
#include "command/mod_vantrel.h"
#include "fake_platform.h"
#include "oracle.h"

namespace {

using modVantrel::testing::FakePlatform;
using vantrel_fuzz::Check;

struct Script {
    std::wstring text;
    bool lookupFinds = false;
    bool startSucceeds = false;
    std::uint32_t code = 0;
    int timeouts = 0;
    std::uint64_t systemMask = ~std::uint64_t{0};
    const char* failing = nullptr;
    std::array<modVantrel::StandardHandle, 3> handles{};
    bool sharesConsole = false;
};

constexpr const char* kFailingSteps[] = {nullptr, "SetAffinity", "Assign", "Resume"};

struct Run {
    FakePlatform platform;
    int status = 0;
};

void Execute(const Script& script, Run& run) {
    FakePlatform& fake = run.platform;
    fake.commandText = script.text;
    fake.findsEveryFile = script.lookupFinds;
    fake.startSucceeds = script.startSucceeds;
    fake.startError = script.code == 0xFF ? modVantrel::kErrorElevationRequired : script.code;
    fake.exitCode = script.code;
    fake.waitResults.assign(script.timeouts, modVantrel::kWaitTimeout);
    fake.jobMessages.assign(script.timeouts, {modVantrel::kWaitTimeout, {}});
    fake.jobEmpty.assign(script.timeouts, false);
    fake.systemMask = script.systemMask;
    fake.standardHandles = script.handles;
    fake.sharesConsole = script.sharesConsole;
    if (script.failing != nullptr) {
        fake.failures[script.failing] = script.code != 0 ? script.code : 5;
    }
    try {
        run.status = modVantrel::Main(fake);
    } catch (const modVantrel::testing::FatalCalled&) {
        vantrel_fuzz::Violated("a command line ends in a launch or the usage box, never Fatal");
    }
}

std::size_t CountCalls(const FakePlatform& fake, std::string_view prefix) {
    return static_cast<std::size_t>(
        std::count_if(fake.calls.begin(), fake.calls.end(),
                      [prefix](const std::string& call) { return call.rfind(prefix, 0) == 0; }));
}

void CheckMessage(const FakePlatform& fake, std::wstring_view expected) {
    Check(fake.messages.size() == 1, "a failed check shows exactly one usage box");
    const std::wstring& shown = fake.messages.front();
    const std::wstring head = std::wstring(expected) + L"\r\n";
    Check(shown.compare(0, head.size(), head) == 0, "the usage box opens with the first failure");
}

// The same text with every switch the line holds spelled in the other case: if any part of a
// switch reached the path or the arguments, the two runs launch differently.
std::wstring WithSwitchesRecased(const std::wstring& text, const vantrel_fuzz::SplitLine& split) {
    std::wstring recased = text;
    for (const auto* region : {&split.before, &split.path, &split.after}) {
        for (const vantrel_fuzz::SplitArgument& argument : *region) {
            if (!split.SwitchOf(*region, argument).empty()) {
                recased[argument.begin + 1] ^= 0x20;  // w <-> W, p <-> P, t <-> T, ...
            }
        }
    }
    return recased;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) {
        return 0;
    }
    Script script;
    script.text = vantrel_fuzz::DecodeUtf16(data, size - 3);
    for (std::size_t i = 0; i < 3; ++i) {
        const int kind = (data[size - 3] >> (2 * i)) & 3;
        const auto own = static_cast<std::uintptr_t>(kind == 3 ? 0x10 : 0x20 + i);
        script.handles[i] = {kind == 0 ? nullptr : reinterpret_cast<modVantrel::Handle>(own),
                             kind >= 2};
    }
    script.sharesConsole = (data[size - 3] & 0x40) != 0;
    script.code = data[size - 2];
    script.lookupFinds = (data[size - 1] & 1) != 0;
    script.startSucceeds = (data[size - 1] & 2) != 0;
    script.timeouts = (data[size - 1] >> 2) & 7;
    script.systemMask = (data[size - 1] & 0x20) != 0 ? 1 : ~std::uint64_t{0};
    script.failing = kFailingSteps[data[size - 1] >> 6];

    Run run;
    Execute(script, run);
    const FakePlatform& fake = run.platform;

    // What the reader asked for, which its own target checks against the C runtime's split.
    const modVantrel::CommandLineRequest model = modVantrel::ParseCommandLine(script.text);
    if (model.help || model.version || model.restart || model.log || model.timeLimit ||
        model.gracePeriod || model.cpuLimit || model.memoryLimit) {
        return 0;  // the flow and launcher tables prove these; here runs must not crash
    }
    const auto priorityClass = vantrel_fuzz::ModelPriorityClass(model.selector);
    const std::wstring& path = model.path;
    const std::wstring& arguments = model.arguments;
    // The fake has no processor classes, so cores named by class are every processor.
    const bool named = model.cores != modVantrel::Cores::None;
    const std::optional<std::uint64_t> mask = named ? script.systemMask : model.affinity;
    const bool maskFits = !mask || (*mask != 0 && (*mask & ~script.systemMask) == 0);
    const bool parentFits = !model.parent || *model.parent != 0;
    const bool lookupRuns = priorityClass && maskFits && parentFits && !path.empty();
    const bool setUp = model.tree || model.efficiency || model.affinity || model.background;
    // A set-up step fails only where it is taken.
    const std::string failing = script.failing != nullptr ? script.failing : "";
    const bool setUpFails = setUp && ((failing == "SetAffinity" && model.affinity) ||
                                      (failing == "Assign" && model.tree) || failing == "Resume");
    const bool waits = model.wait || model.tree || model.report;

    // Every run ends in one launch or in exactly one usage box, never both.
    const bool created = !fake.creations.empty() && script.startSucceeds;
    const bool launched = created && !setUpFails;
    const bool restarted =
        !fake.creations.empty() && !script.startSucceeds && script.code == 0xFF && !model.parent;
    Check(fake.messages.size() <= 1, "at most one usage box per run");
    Check(fake.creations.size() <= 1, "at most one process creation per run");
    Check((launched || restarted) != (fake.messages.size() == 1),
          "a run ends in a launch, a restart or in one usage box");
    Check(CountCalls(fake, "StartElevated") == (restarted ? 1U : 0U),
          "only a creation that needs elevation restarts, and only without a parent");
    Check(fake.lookups.size() == (lookupRuns ? 1U : 0U), "the file is looked up once, when due");

    if (!priorityClass) {
        CheckMessage(fake,
                     L"Either no priority was selected or the selected priority was out of "
                     L"range.");
        Check(run.status == 87, "the priority message exits with 87");
    } else if (!maskFits) {
        CheckMessage(fake, L"The specified processors are not available!");
        Check(run.status == 87, "the processors message exits with 87");
    } else if (!parentFits) {
        CheckMessage(fake, L"The specified parent process is not running!");
        Check(run.status == 87, "the parent message exits with 87");
    } else if (path.empty()) {
        CheckMessage(fake, L"The no \".EXE\" file specified!");
        Check(run.status == 87, "the .EXE message exits with 87");
    } else if (!lookupRuns || !script.lookupFinds) {
        CheckMessage(fake, L"The specified file does not exist!");
        Check(run.status == 2, "the file message exits with 2");
    }

    if (!fake.creations.empty()) {
        // A launch only for a selector 1-6, a ".exe" in the text and a file the lookup found.
        Check(priorityClass.has_value(), "a launch only for a selector from 1 to 6");
        Check(maskFits, "a launch only for a mask of processors the system offers");
        Check(!path.empty(), "a launch only when the collected text holds .exe");
        Check(lookupRuns && script.lookupFinds, "a launch only when the lookup found the file");
        Check(fake.lookups.front() == path, "the lookup is given the program path");

        const modVantrel::ProcessCreation& creation = fake.creations.front();
        // A name alone is found first in the fake's current folder and starts from there.
        const bool alone = path.find_first_of(L"\\/:*?") == std::wstring::npos;
        const std::wstring started = alone ? L"d:\\work\\" + path : path;
        Check(creation.applicationName == started,
              "the program path is the text up to and including the first .exe");
        const std::wstring quoted = L"\"" + started + L"\"";
        Check(creation.commandLine.compare(0, quoted.size(), quoted) == 0,
              "the program path stands quoted at the head of the command line");
        Check(creation.commandLine == (arguments.empty() ? quoted : quoted + L" " + arguments),
              "the arguments follow the quoted path after one space");
        // Once one standard handle is redirected all three are passed, consoles only if shared.
        std::array<modVantrel::Handle, 3> passed{};
        std::vector<modVantrel::Handle> inherited;
        const auto redirected = std::count_if(script.handles.begin(), script.handles.end(),
                                              [](const auto& handle) { return handle.redirected; });
        for (std::size_t i = 0; i < 3; ++i) {
            const bool passes = script.handles[i].redirected || script.sharesConsole;
            passed[i] = redirected > 0 && passes ? script.handles[i].handle : nullptr;
            if (passed[i] != nullptr &&
                std::count(passed.begin(), passed.begin() + i, passed[i]) == 0) {
                inherited.push_back(passed[i]);
            }
        }
        const bool allPassed = redirected == 3;
        const std::uint32_t handleFlags = (inherited.empty() ? 0U : 0x80000U) |
                                          (allPassed && !script.sharesConsole ? 0x08000000U : 0U);
        Check(creation.creationFlags == (*priorityClass | (setUp ? 0x4U : 0U) | handleFlags),
              "the selector's priority class is used, suspended when there is set-up to do");
        Check(creation.startup.standardHandles == passed &&
                  creation.inheritedHandles == inherited &&
                  creation.inheritHandles == !inherited.empty() &&
                  creation.startup.flags == (inherited.empty() ? 0U : 0x100U),
              "the standard handles are passed and inherited as redirected, and no others");

        if (launched) {
            Check(run.status == (waits ? static_cast<int>(script.code) : 0),
                  "a launch exits with the program's code under /w or /t, else 0");
        } else if (restarted) {
            Check(run.status == static_cast<int>(script.code),
                  "a restart exits as the elevated run");
        } else {
            CheckMessage(fake, L"The specified program returned an error!");
            const int code = !created && script.code == 0xFF ? 740 : static_cast<int>(script.code);
            const int error = code != 0 ? code : created ? 5 : 1;
            Check(run.status == error, "a failed launch exits with the failed step's error");
        }
        Check(CountCalls(fake, "Terminate(process") == (created && setUpFails ? 1U : 0U),
              "a program whose set-up failed is ended, and only such a one");
        const bool resumed = created && setUp && (!setUpFails || failing == "Resume");
        Check(CountCalls(fake, "Resume(thread)") == (resumed ? 1U : 0U),
              "a suspended program is resumed once, after its set-up");
        if (mask && created && setUp) {
            Check(CountCalls(fake, "SetAffinity(process," + std::to_string(*mask) + ")") == 1,
                  "the mask is set on the program");
        }
    }

    Check(fake.reports.size() == (launched && model.report ? 1U : 0U),
          "one report with /r after a launch, and none otherwise");
    // Every handle that creation returned is closed, each once.
    Check(fake.openHandles.empty(), "every handle that creation returned is closed");
    const std::size_t closes = created ? 1 : 0;
    Check(CountCalls(fake, "Close(process)") == closes, "the process handle is closed once");
    Check(CountCalls(fake, "Close(thread)") == closes, "the thread handle is closed once");
    const std::size_t jobs = CountCalls(fake, "CreateTreeJob");
    Check(
        jobs == (created && model.tree && (failing != "SetAffinity" || !model.affinity) ? 1U : 0U),
        "a job is made for /t only, once");
    Check(CountCalls(fake, "Close(job)") == jobs && CountCalls(fake, "Close(port)") == jobs,
          "the job and its port are closed once");
    Check(CountCalls(fake, "Close(other)") == 0, "only handles from creation are closed");
    Check(CountCalls(fake, "BusyOn") == CountCalls(fake, "BusyOff"), "the pointer is restored");

    // With /w, timed waits of 1000 ms, each followed by a pump, until the program has ended; with
    // /t the same steps on the job's port, whatever /w says.
    const std::size_t steps = launched && waits ? script.timeouts + 1 : 0;
    const std::size_t processWaits = model.tree ? 0 : steps;
    Check(CountCalls(fake, "Wait(process,1000)=") == processWaits, "one timed wait per poll");
    const std::size_t elevatedSteps = restarted ? script.timeouts + 1 : 0;
    Check(
        CountCalls(fake, "Wait(") == processWaits + elevatedSteps + CountCalls(fake, "Wait(parent"),
        "no other waits; the restart polls as /w does");
    Check(CountCalls(fake, "JobMessage(port,1000)=") == steps - processWaits,
          "one step on the port per poll of the tree");
    Check(CountCalls(fake, "Pump") == steps + elevatedSteps,
          "messages are pumped after every wait");

    // The arguments never carry the switch tokens that the reader consumed.
    Script recased = script;
    recased.text = WithSwitchesRecased(
        script.text, vantrel_fuzz::SplitAround(script.text, model.pathBegin, model.pathEnd));
    if (recased.text != script.text) {
        Run other;
        Execute(recased, other);
        Check(other.status == run.status && other.platform.messages == fake.messages,
              "switches are recognised in any case");
        Check(other.platform.creations.size() == fake.creations.size(),
              "switches are recognised in any case");
        for (std::size_t i = 0; i < fake.creations.size(); ++i) {
            Check(other.platform.creations[i].commandLine == fake.creations[i].commandLine &&
                      other.platform.creations[i].applicationName ==
                          fake.creations[i].applicationName,
                  "no consumed /w or /p: token reaches the path or the arguments");
        }
    }
    return 0;
}
