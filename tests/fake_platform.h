// A recording stand-in for Windows: answers as each test scripts it and logs every call in order.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace modVantrel::testing {

struct FatalCalled {
    FatalKind kind;
};

class FakePlatform : public Platform {
  public:
    // What the fake answers.
    std::wstring commandText;
    std::int32_t showCommand = kNoShowWindow;
    bool showsBoxes = true;
    std::array<StandardHandle, 3> standardHandles{};
    bool sharesConsole = false;
    std::set<std::wstring> files;  // patterns that the lookup finds
    bool findsEveryFile = false;   // the lookup finds every pattern (the fuzz target's choice)
    bool startSucceeds = true;
    std::uint32_t startError = 2;
    std::deque<std::uint32_t> waitResults;  // in order; 0 (the process ended) once exhausted
    std::uint32_t exitCode = 0;
    std::uint64_t systemMask = 0xFF;
    std::uint64_t now = 3'600'000'000;  // µs, an hour past boot; a wait that times out moves it on
    std::map<std::string, std::uint32_t> failures;  // set-up steps that fail, with their error
    bool efficiencyTaken = false;
    std::vector<ProcessorClass> processorClasses;  // none: the system does not say
    // The job's port: results and messages in order; then the last process leaves.
    std::deque<std::pair<std::uint32_t, JobMessage>> jobMessages;
    std::deque<bool> jobEmpty;           // JobIsEmpty's answers in order; then true
    std::set<std::uint32_t> gone;        // ids of processes that can no longer be opened
    std::set<std::uint32_t> outsideJob;  // ids of processes that are not in the job

    RunCost processCost, jobCost;  // what the program and its tree cost, while their handles live
    std::deque<std::uint32_t> parentWaits;  // the parent's, in order; then still running
    std::uint32_t elevationError = 0;       // what starting elevated answers
    std::uint32_t allowWaitError = 0;       // what the administrators' entry answers
    bool jobsNest = true;
    std::uint32_t breakawayError = 0;         // what a creation that leaves Vantrel's job answers
    std::vector<std::uint32_t> jobProcesses;  // the job's list at the stop
    std::map<std::uint32_t, std::vector<std::uint32_t>> consoles;  // who shares each one's
    bool atLineStart = true;                                       // where standard error stands
    std::uint32_t logError = 0;                                    // what opening the log answers
    LocalTime localTime{2024, 3, 9, 22, 5, 7, -330};               // far from any origin; UTC-05:30
    std::map<std::wstring, std::wstring> environment;

    // What it saw.
    std::vector<std::string> calls;
    std::vector<std::wstring> messages;
    std::vector<std::wstring> errors;  // written to standard error
    std::vector<std::wstring> output;  // written on standard output
    std::vector<std::wstring> lookups;
    std::vector<ProcessCreation> creations;
    std::set<Handle> openHandles;
    std::vector<ElevatedStart> elevatedStarts;
    std::vector<std::wstring> reports;  // the run's report
    std::vector<std::wstring> logWrites;

    static inline Handle const kProcess = reinterpret_cast<Handle>(0x1000);
    static inline Handle const kThread = reinterpret_cast<Handle>(0x2000);
    static inline Handle const kJob = reinterpret_cast<Handle>(0x3000);
    static inline Handle const kPort = reinterpret_cast<Handle>(0x4000);
    static inline Handle const kParent = reinterpret_cast<Handle>(0x5000);
    static inline Handle const kElevated = reinterpret_cast<Handle>(0x6000);
    static inline Handle const kWindow = reinterpret_cast<Handle>(0x7000);
    static inline Handle const kLog = reinterpret_cast<Handle>(0x8000);
    static constexpr std::uintptr_t kMembers = 0x100000;  // plus the id: a process opened by id

    std::wstring CommandText() override {
        calls.push_back("CommandText");
        return commandText;
    }
    std::int32_t ShowCommand() override { return showCommand; }
    void ShowMessage(const std::wstring& text) override {
        calls.push_back("ShowMessage");
        messages.push_back(text);
    }
    std::wstring LookupFile(const std::wstring& pattern) override {
        calls.push_back("LookupFile");
        lookups.push_back(pattern);
        const std::wstring name = pattern.substr(pattern.find_last_of(L"\\/") + 1);
        return findsEveryFile || files.count(pattern) != 0 ? name : L"";
    }
    std::optional<std::wstring> EnvironmentVariable(const std::wstring& name) override {
        const auto found = environment.find(name);
        return found != environment.end() ? std::optional(found->second) : std::nullopt;
    }
    void WriteOutput(const std::wstring& text) override { output.push_back(text); }
    void PumpMessages() override { calls.push_back("Pump"); }
    void SetBusy(bool busy) override { calls.push_back(busy ? "BusyOn" : "BusyOff"); }
    bool CanShowBoxes() override { return showsBoxes; }
    void WriteError(const std::wstring& text) override { errors.push_back(text); }
    void WriteReport(const std::wstring& line) override { reports.push_back(line); }
    std::array<StandardHandle, 3> StandardHandles() override { return standardHandles; }
    bool SharesConsole() override { return sharesConsole; }
    [[noreturn]] void Fatal(FatalKind kind) override {
        calls.push_back("Fatal");
        throw FatalCalled{kind};
    }
    bool StartProcess(ProcessCreation& creation, ProcessInformation& info,
                      std::uint32_t& error) override {
        calls.push_back("StartProcess");
        creations.push_back(creation);
        if (!startSucceeds ||
            ((creation.creationFlags & kCreateBreakawayFromJob) && breakawayError)) {
            error = startSucceeds ? breakawayError : startError;
            return false;
        }
        info = {kProcess, kThread, 41, 42};
        openHandles.insert({kProcess, kThread});
        return true;
    }
    std::uint32_t WaitForProcess(Handle process, std::uint32_t milliseconds) override {
        std::uint32_t result = process == kParent ? kWaitTimeout : 0;
        std::deque<std::uint32_t>& results = process == kParent ? parentWaits : waitResults;
        if (!results.empty()) {
            result = results.front();
            results.pop_front();
        }
        Elapse(result, milliseconds);
        calls.push_back("Wait(" + Name(process) + "," + std::to_string(milliseconds) +
                        ")=" + std::to_string(result));
        return result;
    }
    void WaitForInputIdle(Handle process) override {
        calls.push_back("Idle(" + Name(process) + ")");
    }
    std::uint32_t ExitCodeOf(Handle process) override {
        calls.push_back("ExitCode(" + Name(process) + ")");
        return exitCode;
    }
    RunCost ProcessCost(Handle process) override {
        return openHandles.count(process) != 0 ? processCost : RunCost{};
    }
    RunCost JobCost(Handle job) override {
        return openHandles.count(job) != 0 ? jobCost : RunCost{};
    }
    void CloseHandle(Handle handle) override {
        calls.push_back("Close(" + Name(handle) + ")");
        openHandles.erase(handle);
    }

    std::uint64_t MonotonicMicroseconds() override { return now; }
    std::uint64_t SystemAffinityMask() override { return systemMask; }
    std::uint32_t SetAffinity(Handle process, std::uint64_t mask) override {
        return Step("SetAffinity(" + Name(process) + "," + std::to_string(mask) + ")");
    }
    std::uint32_t SetPriority(Handle process, std::uint32_t priorityClass) override {
        return Step("SetPriority(" + Name(process) + "," + std::to_string(priorityClass) + ")");
    }
    bool SetEfficiencyMode(Handle process) override {
        calls.push_back("Efficiency(" + Name(process) + ")");
        return efficiencyTaken;
    }
    bool SetLowIoPriority(Handle process) override { return Hint("IoPriority", process); }
    bool SetLowMemoryPriority(Handle process) override { return Hint("MemoryPriority", process); }
    std::vector<ProcessorClass> ProcessorClasses() override { return processorClasses; }
    std::uint32_t ResumeThread(Handle thread) override {
        return Step("Resume(" + Name(thread) + ")");
    }
    void TerminateProcess(Handle process, std::uint32_t code) override {
        calls.push_back("Terminate(" + Name(process) + "," + std::to_string(code) + ")");
    }
    std::uint32_t CreateTreeJob(const JobLimits& limits, Handle& job, Handle& port) override {
        const std::uint32_t error =
            Step("CreateTreeJob(" + std::to_string(limits.limitFlags) + "," +
                 std::to_string(limits.jobMemoryLimit) + "," + std::to_string(limits.cpuRateFlags) +
                 "," + std::to_string(limits.cpuRate) + ")");
        if (error == 0) {
            job = kJob;
            port = kPort;
            openHandles.insert({kJob, kPort});
        }
        return error;
    }
    std::uint32_t AssignToJob(Handle job, Handle process) override {
        return Step("Assign(" + Name(job) + "," + Name(process) + ")");
    }
    std::uint32_t TerminateJob(Handle job, std::uint32_t code) override {
        return Step("TerminateJob(" + Name(job) + "," + std::to_string(code) + ")");
    }
    std::uint32_t WaitForJobMessage(Handle port, std::uint32_t milliseconds,
                                    JobMessage& message) override {
        std::pair<std::uint32_t, JobMessage> next{0, {kJobActiveProcessZero, 0}};
        if (!jobMessages.empty()) {
            next = jobMessages.front();
            jobMessages.pop_front();
        }
        if (next.first == 0) {
            message = next.second;
        }
        Elapse(next.first, milliseconds);
        calls.push_back("JobMessage(" + Name(port) + "," + std::to_string(milliseconds) +
                        ")=" + std::to_string(next.first) +
                        (next.first == 0 ? " " + std::to_string(next.second.id) : ""));
        return next.first;
    }
    bool JobIsEmpty(Handle job) override {
        bool empty = true;
        if (!jobEmpty.empty()) {
            empty = jobEmpty.front();
            jobEmpty.pop_front();
        }
        calls.push_back("JobIsEmpty(" + Name(job) + ")=" + std::to_string(empty));
        return empty;
    }
    Handle OpenProcessForSettings(std::uint32_t processId) override {
        calls.push_back("Open(" + std::to_string(processId) + ")");
        if (gone.count(processId) != 0) {
            return nullptr;
        }
        const Handle member = reinterpret_cast<Handle>(kMembers + processId);
        openHandles.insert(member);
        return member;
    }
    bool IsProcessInJob(Handle process, Handle job) override {
        calls.push_back("InJob(" + Name(process) + "," + Name(job) + ")");
        const auto id =
            static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(process) - kMembers);
        return job == kJob && outsideJob.count(id) == 0;
    }

    bool JobsNest() override { return jobsNest; }
    bool RunsInJob() override { return true; }  // as under a scheduler; alone it changes nothing
    std::uint32_t ProcessId() override { return 1234; }
    std::wstring ModulePath() override { return L"c:\\vantrel\\vantrel.exe"; }
    std::wstring CurrentDirectory() override { return L"d:\\work"; }
    std::uint64_t StartTimeOf(Handle) override { return 133'500'000'000'000'000; }  // any process
    Handle OpenParent(std::uint32_t processId) override {
        calls.push_back("OpenParent(" + std::to_string(processId) + ")");
        return gone.count(processId) != 0 ? nullptr : *openHandles.insert(kParent).first;
    }
    std::uint32_t AllowAdministratorsToWait() override {
        calls.push_back("AllowWait");
        return allowWaitError;
    }
    Handle PromptOwner() override { return kWindow; }  // the console's
    std::uint32_t StartElevated(const ElevatedStart& start, Handle& process) override {
        calls.push_back("StartElevated");
        elevatedStarts.push_back(start);
        process = elevationError != 0 ? nullptr : *openHandles.insert(kElevated).first;
        return elevationError;
    }
    std::vector<std::uint32_t> JobProcessIds(Handle job) override {
        calls.push_back("JobProcesses(" + Name(job) + ")");
        return jobProcesses;
    }
    std::uint32_t CloseWindowsOf(const std::vector<std::uint32_t>& ids) override {
        calls.push_back("CloseWindows(" + std::to_string(ids.size()) + ")");
        return static_cast<std::uint32_t>(ids.size());  // a window each
    }
    std::vector<std::uint32_t> BreakConsoleOf(std::uint32_t processId) override {
        calls.push_back("BreakConsole(" + std::to_string(processId) + ")");
        return consoles[processId];
    }
    std::uint32_t BreakGroup(std::uint32_t groupId) override {
        return Step("BreakGroup(" + std::to_string(groupId) + ")");
    }
    void PassInterruptsTo(std::uint32_t groupId) override {
        calls.push_back("PassInterrupts(" + std::to_string(groupId) + ")");
    }
    bool ErrorAtLineStart() override { return atLineStart; }
    Handle OpenLog(const std::wstring& path, std::uint32_t& error) override {
        calls.push_back("OpenLog(" + std::string(path.begin(), path.end()) + ")");
        error = logError;
        return logError != 0 ? nullptr : *openHandles.insert(kLog).first;
    }
    void WriteLog(Handle, const std::wstring& text) override { logWrites.push_back(text); }
    bool LogAtLineStart(Handle) override { return atLineStart; }
    LocalTime LocalNow() override { return localTime; }
    int MessageCount() const { return static_cast<int>(messages.size()); }

  private:
    void Elapse(std::uint32_t result, std::uint32_t milliseconds) {
        if (result == kWaitTimeout && milliseconds != kInfinite) {
            now += std::uint64_t{milliseconds} * 1000;
        }
    }

    bool Hint(const std::string& name, Handle process) {  // refused, as Wine refuses them
        calls.push_back(name + "(" + Name(process) + ")");
        return false;
    }

    // A set-up step: recorded, and failing with its scripted error, if any.
    std::uint32_t Step(const std::string& call) {
        calls.push_back(call);
        const std::string name = call.substr(0, call.find('('));
        return failures.count(name) != 0 ? failures.at(name) : 0;
    }

    static std::string Name(Handle handle) {
        const auto value = reinterpret_cast<std::uintptr_t>(handle);
        if (value > kMembers) {
            return "member" + std::to_string(value - kMembers);
        }
        if (handle == kParent || handle == kElevated) {
            return handle == kParent ? "parent" : "elevated";
        }
        return handle == kProcess  ? "process"
               : handle == kThread ? "thread"
               : handle == kJob    ? "job"
               : handle == kPort   ? "port"
                                   : "other";
    }
};

}  // namespace modVantrel::testing
