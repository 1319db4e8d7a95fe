// The Win32 side of the process tree: the job that holds it, the port that reports on it, and
// the processes that join it.
#include <windows.h>

#include <vector>

#include "platform/system_function.h"
#include "platform/unique_handle.h"
#include "platform/win32_platform.h"

namespace modVantrel {
namespace {

static_assert(kJobNewProcess == JOB_OBJECT_MSG_NEW_PROCESS);
static_assert(kJobActiveProcessZero == JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO);
static_assert(kJobMemoryLimit == JOB_OBJECT_MSG_JOB_MEMORY_LIMIT);
static_assert(kJobLimitJobMemory == JOB_OBJECT_LIMIT_JOB_MEMORY);
static_assert(kJobLimitBreakawayOk == JOB_OBJECT_LIMIT_BREAKAWAY_OK);
static_assert(kJobLimitKillOnJobClose == JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE);
static_assert(kCpuRateEnable == JOB_OBJECT_CPU_RATE_CONTROL_ENABLE);
static_assert(kCpuRateHardCap == JOB_OBJECT_CPU_RATE_CONTROL_HARD_CAP);
static_assert(kErrorTimeout == ERROR_TIMEOUT);
static_assert(kCreateBreakawayFromJob == CREATE_BREAKAWAY_FROM_JOB);
static_assert(kErrorAccessDenied == ERROR_ACCESS_DENIED);

template <typename Record>
bool QueryJob(HANDLE job, JOBOBJECTINFOCLASS kind, Record& record) {
    return ::QueryInformationJobObject(job, kind, &record, sizeof record, nullptr) != FALSE;
}

}  // namespace

std::uint32_t Win32Platform::CreateTreeJob(const JobLimits& limits, Handle& job, Handle& port) {
    KernelHandle newJob(::CreateJobObjectW(nullptr, nullptr));
    if (!newJob.valid()) {
        return LastError();
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION extended{};
    extended.BasicLimitInformation.LimitFlags = limits.limitFlags;
    extended.JobMemoryLimit = static_cast<SIZE_T>(limits.jobMemoryLimit);
    if (!::SetInformationJobObject(newJob.get(), JobObjectExtendedLimitInformation, &extended,
                                   sizeof extended)) {
        return LastError();
    }
    // Windows 8 and later; Windows 7 refuses the class, and so the launch.
    if (limits.cpuRateFlags != 0) {
        JOBOBJECT_CPU_RATE_CONTROL_INFORMATION rate{};
        rate.ControlFlags = limits.cpuRateFlags;
        rate.CpuRate = limits.cpuRate;
        if (!::SetInformationJobObject(newJob.get(), JobObjectCpuRateControlInformation, &rate,
                                       sizeof rate)) {
            return LastError();
        }
    }
    KernelHandle newPort(::CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1));
    if (!newPort.valid()) {
        return LastError();
    }
    JOBOBJECT_ASSOCIATE_COMPLETION_PORT association{};
    association.CompletionKey = newJob.get();
    association.CompletionPort = newPort.get();
    if (!::SetInformationJobObject(newJob.get(), JobObjectAssociateCompletionPortInformation,
                                   &association, sizeof association)) {
        return LastError();
    }
    job = newJob.Release();
    port = newPort.Release();
    return 0;
}

std::uint32_t Win32Platform::AssignToJob(Handle job, Handle process) {
    return ErrorUnless(::AssignProcessToJobObject(job, process));
}

std::uint32_t Win32Platform::TerminateJob(Handle job, std::uint32_t exitCode) {
    return ErrorUnless(::TerminateJobObject(job, exitCode));
}

std::uint32_t Win32Platform::WaitForJobMessage(Handle port, std::uint32_t milliseconds,
                                               JobMessage& message) {
    DWORD id = 0;
    ULONG_PTR key = 0;
    LPOVERLAPPED detail = nullptr;
    if (!::GetQueuedCompletionStatus(port, &id, &key, &detail, milliseconds)) {
        const std::uint32_t error = LastError();  // WAIT_TIMEOUT when nothing came in time
        if (error != WAIT_TIMEOUT) {
            ::Sleep(milliseconds);  // a port that keeps failing must not turn the wait into a spin
        }
        return error;
    }
    message.id = id;
    // Job messages carry the process id where an overlapped record would be.
    message.processId = static_cast<std::uint32_t>(reinterpret_cast<ULONG_PTR>(detail));
    return 0;
}

bool Win32Platform::JobIsEmpty(Handle job) {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
    return QueryJob(job, JobObjectBasicAccountingInformation, accounting) &&
           accounting.ActiveProcesses == 0;
}

RunCost Win32Platform::JobCost(Handle job) {
    RunCost cost;
    JOBOBJECT_BASIC_AND_IO_ACCOUNTING_INFORMATION accounting{};
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION& basic = accounting.BasicInfo;
    const bool withIo = QueryJob(job, JobObjectBasicAndIoAccountingInformation, accounting);
    if (withIo) {
        cost.bytesRead = accounting.IoInfo.ReadTransferCount;
        cost.bytesWritten = accounting.IoInfo.WriteTransferCount;
    }
    // Where the combined query is refused (Wine refuses it), the basic one still gives the times
    // and the count.
    if (withIo || QueryJob(job, JobObjectBasicAccountingInformation, basic)) {
        cost.userTime = static_cast<std::uint64_t>(basic.TotalUserTime.QuadPart);
        cost.kernelTime = static_cast<std::uint64_t>(basic.TotalKernelTime.QuadPart);
        cost.processes = basic.TotalProcesses;
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    if (QueryJob(job, JobObjectExtendedLimitInformation, limits)) {
        cost.peakCommit = limits.PeakJobMemoryUsed;
    }
    return cost;
}

std::vector<std::uint32_t> Win32Platform::JobProcessIds(Handle job) {
    // The list's two counts, then one id a slot; grown until every id fits.
    constexpr std::size_t kHeader = 2;
    std::vector<ULONG_PTR> buffer(kHeader + 64);
    for (;;) {
        auto* const list = reinterpret_cast<JOBOBJECT_BASIC_PROCESS_ID_LIST*>(buffer.data());
        const auto size = static_cast<DWORD>(buffer.size() * sizeof(ULONG_PTR));
        if (::QueryInformationJobObject(job, JobObjectBasicProcessIdList, list, size, nullptr)) {
            const ULONG_PTR* const ids = list->ProcessIdList;
            return std::vector<std::uint32_t>(ids, ids + list->NumberOfProcessIdsInList);
        }
        const std::size_t needed = kHeader + list->NumberOfAssignedProcesses;
        if (::GetLastError() != ERROR_MORE_DATA || needed <= buffer.size()) {
            return {};
        }
        buffer.resize(needed);
    }
}

Handle Win32Platform::OpenProcessForSettings(std::uint32_t processId) {
    // Wine answers IsProcessInJob only for a handle with full query rights.
    return ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_SET_INFORMATION, FALSE, processId);
}

bool Win32Platform::IsProcessInJob(Handle process, Handle job) {
    BOOL member = FALSE;
    return ::IsProcessInJob(process, job, &member) != FALSE && member != FALSE;
}

bool Win32Platform::JobsNest() {
    // Windows 8 is 6.2. The manifest names every system from 7 to 10, so the version reads true
    // up to 10, and anything newer reads as a version that nests too. Found at run time: only a
    // Vantrel that runs in a job asks, and the call would be a new import.
    using ReadVersion = BOOL(WINAPI*)(OSVERSIONINFOW*);
    const auto readVersion = SystemFunction<ReadVersion>(L"kernel32.dll", "GetVersionExW");
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (readVersion == nullptr || !readVersion(&version)) {
        return true;  // unknown: as from Windows 8 on; Windows 7 always answers
    }
    return version.dwMajorVersion > 6 ||
           (version.dwMajorVersion == 6 && version.dwMinorVersion >= 2);
}

bool Win32Platform::RunsInJob() {
    return IsProcessInJob(::GetCurrentProcess(), nullptr);  // no job named: in any job
}

}  // namespace modVantrel
