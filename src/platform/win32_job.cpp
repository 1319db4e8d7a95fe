// The Win32 side of the process tree: the job that holds it, the port that reports on it, and
// the processes that join it.
#include <windows.h>

#include "platform/unique_handle.h"
#include "platform/win32_platform.h"

namespace modVantrel {
namespace {

static_assert(kJobNewProcess == JOB_OBJECT_MSG_NEW_PROCESS);
static_assert(kJobActiveProcessZero == JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO);

template <typename Record>
bool QueryJob(HANDLE job, JOBOBJECTINFOCLASS kind, Record& record) {
    return ::QueryInformationJobObject(job, kind, &record, sizeof record, nullptr) != FALSE;
}

}  // namespace

std::uint32_t Win32Platform::CreateTreeJob(Handle& job, Handle& port) {
    KernelHandle newJob(::CreateJobObjectW(nullptr, nullptr));
    if (!newJob.valid()) {
        return LastError();
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags =
        JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_BREAKAWAY_OK;
    if (!::SetInformationJobObject(newJob.get(), JobObjectExtendedLimitInformation, &limits,
                                   sizeof limits)) {
        return LastError();
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
    return ::QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &accounting,
                                       sizeof accounting, nullptr) != FALSE &&
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

Handle Win32Platform::OpenProcessForSettings(std::uint32_t processId) {
    // Wine answers IsProcessInJob only for a handle with full query rights.
    return ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_SET_INFORMATION, FALSE, processId);
}

bool Win32Platform::IsProcessInJob(Handle process, Handle job) {
    BOOL member = FALSE;
    return ::IsProcessInJob(process, job, &member) != FALSE && member != FALSE;
}

}  // namespace modVantrel
