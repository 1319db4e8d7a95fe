// The Win32 side of how a process is scheduled besides its class: the hints it is given
// (efficiency mode, background I/O and memory priority) and the processors' classes that the
// core names of "/a:" stand for. The calls that Windows 7 lacks, and ntdll's, are found at run
// time, so that none of them is an import.
#include <windows.h>

#include <cstddef>
#include <cstring>
#include <vector>

#include "platform/system_function.h"
#include "platform/win32_platform.h"

namespace modVantrel {
namespace {

// SetProcessInformation, which Windows 7 lacks: true when the system took the setting.
template <typename Record>
bool SetInformation(Handle process, PROCESS_INFORMATION_CLASS kind, Record& record) {
    using Set = BOOL(WINAPI*)(HANDLE, PROCESS_INFORMATION_CLASS, LPVOID, DWORD);
    const auto set = SystemFunction<Set>(L"kernel32.dll", "SetProcessInformation");
    return set != nullptr && set(process, kind, &record, sizeof record) != FALSE;
}

// The start of SYSTEM_CPU_SET_INFORMATION, up to the efficiency class: older SDKs lack it.
struct CpuSetStart {
    DWORD size;
    DWORD type;  // 0: a processor's record
    DWORD id;
    WORD group;
    BYTE logicalProcessorIndex;
    BYTE coreIndex;
    BYTE lastLevelCacheIndex;
    BYTE numaNodeIndex;
    BYTE efficiencyClass;
};

}  // namespace

bool Win32Platform::SetEfficiencyMode(Handle process) {
    PROCESS_POWER_THROTTLING_STATE state{};
    state.Version = PROCESS_POWER_THROTTLING_CURRENT_VERSION;
    state.ControlMask = PROCESS_POWER_THROTTLING_EXECUTION_SPEED;
    state.StateMask = PROCESS_POWER_THROTTLING_EXECUTION_SPEED;
    return SetInformation(process, ProcessPowerThrottling, state);
}

bool Win32Platform::SetLowIoPriority(Handle process) {
    // No documented call sets another process's I/O priority; ntdll's is the one route, and its
    // class and values (ProcessIoPriority, IoPriorityVeryLow) are in no user-mode header.
    using Set = LONG(WINAPI*)(HANDLE, ULONG, PVOID, ULONG);
    const auto set = SystemFunction<Set>(L"ntdll.dll", "NtSetInformationProcess");
    constexpr ULONG kProcessIoPriority = 33;
    ULONG veryLow = 0;
    return set != nullptr && set(process, kProcessIoPriority, &veryLow, sizeof veryLow) >= 0;
}

bool Win32Platform::SetLowMemoryPriority(Handle process) {
    MEMORY_PRIORITY_INFORMATION priority{};
    priority.MemoryPriority = MEMORY_PRIORITY_VERY_LOW;
    return SetInformation(process, ProcessMemoryPriority, priority);
}

std::vector<ProcessorClass> Win32Platform::ProcessorClasses() {
    using Read = BOOL(WINAPI*)(void*, ULONG, PULONG, HANDLE, ULONG);
    const auto read = SystemFunction<Read>(L"kernel32.dll", "GetSystemCpuSetInformation");
    GROUP_AFFINITY own{};  // the group of Vantrel's one thread, in which "/a:" masks count
    if (read == nullptr || !::GetThreadGroupAffinity(::GetCurrentThread(), &own)) {
        return {};  // before Windows 10
    }
    ULONG size = 0;
    read(nullptr, 0, &size, nullptr, 0);
    std::vector<unsigned char> records(size);
    if (size == 0 || !read(records.data(), size, &size, nullptr, 0)) {
        return {};
    }
    std::vector<ProcessorClass> processors;
    CpuSetStart record{};
    for (std::size_t at = 0; at + sizeof record <= size; at += record.size) {
        std::memcpy(&record, records.data() + at, sizeof record);  // records need not be aligned
        if (record.size < sizeof record) {
            break;
        }
        if (record.type == 0 && record.group == own.Group) {
            processors.push_back({record.logicalProcessorIndex, record.efficiencyClass});
        }
    }
    return processors;
}

}  // namespace modVantrel
