// The Win32 side of running elevated and of watching a parent process.
#include "platform/win32_platform.h"

#include <windows.h>

#include <aclapi.h>
#include <objbase.h>
#include <shellapi.h>

#include <memory>

#include "platform/system_function.h"
#include "platform/unique_handle.h"

namespace modVantrel {
namespace {

// MinGW-w64's headers lack this one; the Windows SDK's have it.
#ifdef ERROR_ELEVATION_REQUIRED
static_assert(kErrorElevationRequired == ERROR_ELEVATION_REQUIRED);
#endif

// COM on this thread for as long as it lives, as ShellExecuteEx asks of its callers: the shell
// may hand the call to extensions that COM activates. Without it the call is still made.
class ComApartment {
  public:
    ComApartment() {
        using Initialize = HRESULT(WINAPI*)(LPVOID, DWORD);
        const auto initialize = SystemFunction<Initialize>(L"ole32.dll", "CoInitializeEx");
        initialized_ =
            initialize != nullptr &&
            SUCCEEDED(initialize(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
    }
    ~ComApartment() {
        using Uninitialize = void(WINAPI*)();
        const auto uninitialize = SystemFunction<Uninitialize>(L"ole32.dll", "CoUninitialize");
        if (initialized_ && uninitialize != nullptr) {
            uninitialize();
        }
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

  private:
    bool initialized_ = false;
};

// Memory that the security calls allocate, freed with LocalFree. Found at run time like those
// calls, so that this rare path adds no import.
template <typename Type>
class LocalMemory {
  public:
    LocalMemory() = default;
    ~LocalMemory() {
        using FreeLocal = HLOCAL(WINAPI*)(HLOCAL);
        const auto freeLocal = SystemFunction<FreeLocal>(L"kernel32.dll", "LocalFree");
        if (memory_ != nullptr && freeLocal != nullptr) {
            freeLocal(memory_);
        }
    }
    LocalMemory(const LocalMemory&) = delete;
    LocalMemory& operator=(const LocalMemory&) = delete;

    Type* get() const { return memory_; }
    Type** receive() { return &memory_; }

  private:
    Type* memory_ = nullptr;
};

// The start itself, which returns only once the consent prompt is answered.
std::uint32_t StartElevatedNow(const ElevatedStart& start, Handle& process) {
    const ComApartment com;
    using ShellExecuteEx = BOOL(WINAPI*)(SHELLEXECUTEINFOW*);
    const auto execute = SystemFunction<ShellExecuteEx>(L"shell32.dll", "ShellExecuteExW");
    if (execute == nullptr) {
        return LastError();
    }
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    // Synchronous, with the process handle, and with no error box: Vantrel reports the failure.
    // As a program whatever its name ends in: "runas" belongs to programs, and vantrel.com's
    // ending names another file type.
    info.fMask =
        SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI | SEE_MASK_CLASSNAME;
    info.lpClass = L"exefile";
    info.lpVerb = L"runas";
    info.lpFile = start.path.c_str();
    info.lpParameters = start.parameters.c_str();
    info.lpDirectory = start.directory.c_str();
    info.nShow = start.showWindow >= 0 ? start.showWindow : SW_SHOWNORMAL;
    info.hwnd = static_cast<HWND>(start.ownerWindow);
    if (!execute(&info)) {
        return LastError();
    }
    if (info.hProcess == nullptr) {
        return ERROR_GEN_FAILURE;  // started, but with nothing to wait for: never report success
    }
    process = info.hProcess;
    return 0;
}

// A start on a thread of its own, so that the caller may give up on a prompt nobody answers.
// Shared by the two threads: the last to let go closes the process, if it was not taken.
struct ElevatedCall {
    ElevatedStart start;
    KernelHandle process;
    std::uint32_t error = ERROR_GEN_FAILURE;
};

DWORD WINAPI StartElevatedOnThread(LPVOID context) {
    const std::unique_ptr<std::shared_ptr<ElevatedCall>> call(
        static_cast<std::shared_ptr<ElevatedCall>*>(context));
    Handle process = nullptr;
    (*call)->error = StartElevatedNow((*call)->start, process);
    (*call)->process.Reset(process);
    return 0;
}

}  // namespace

std::uint32_t Win32Platform::AllowAdministratorsToWait() {
    using CreateSid = BOOL(WINAPI*)(WELL_KNOWN_SID_TYPE, PSID, PSID, DWORD*);
    using GetSecurity = DWORD(WINAPI*)(HANDLE, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID*, PSID*,
                                       PACL*, PACL*, PSECURITY_DESCRIPTOR*);
    using AddEntries = DWORD(WINAPI*)(ULONG, EXPLICIT_ACCESSW*, PACL, PACL*);
    using SetSecurity =
        DWORD(WINAPI*)(HANDLE, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID, PSID, PACL, PACL);
    const auto createSid = SystemFunction<CreateSid>(L"advapi32.dll", "CreateWellKnownSid");
    const auto getSecurity = SystemFunction<GetSecurity>(L"advapi32.dll", "GetSecurityInfo");
    const auto addEntries = SystemFunction<AddEntries>(L"advapi32.dll", "SetEntriesInAclW");
    const auto setSecurity = SystemFunction<SetSecurity>(L"advapi32.dll", "SetSecurityInfo");
    if (createSid == nullptr || getSecurity == nullptr || addEntries == nullptr ||
        setSecurity == nullptr) {
        return LastError();
    }
    DWORD administrators[SECURITY_MAX_SID_SIZE / sizeof(DWORD)] = {};
    DWORD sidSize = sizeof administrators;
    if (!createSid(WinBuiltinAdministratorsSid, nullptr, administrators, &sidSize)) {
        return LastError();
    }
    const HANDLE self = ::GetCurrentProcess();
    PACL current = nullptr;  // points into the descriptor
    LocalMemory<void> descriptor;
    DWORD error = getSecurity(self, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                              &current, nullptr, descriptor.receive());
    if (error != ERROR_SUCCESS || current == nullptr) {
        return error;  // without any list every account may open the process already
    }
    // Granted beside whatever the group has already; nothing is taken away. The elevated run
    // waits on this process, and reads its start to know it from a later one with the same id.
    EXPLICIT_ACCESSW entry{};
    entry.grfAccessPermissions = SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION;
    entry.grfAccessMode = GRANT_ACCESS;
    entry.grfInheritance = NO_INHERITANCE;
    entry.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    entry.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
    entry.Trustee.ptstrName = static_cast<LPWSTR>(static_cast<void*>(administrators));
    LocalMemory<ACL> updated;
    error = addEntries(1, &entry, current, updated.receive());
    if (error != ERROR_SUCCESS) {
        return error;
    }
    return setSecurity(self, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                       updated.get(), nullptr);
}

std::uint32_t Win32Platform::ProcessId() {
    return ::GetCurrentProcessId();
}

std::wstring Win32Platform::ModulePath() {
    // The call cuts a path that does not fit and returns the buffer's size: try a larger one.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring Win32Platform::CurrentDirectory() {
    const DWORD size = ::GetCurrentDirectoryW(0, nullptr);
    std::wstring directory(size, L'\0');
    const DWORD length = ::GetCurrentDirectoryW(size, directory.data());
    directory.resize(length < size ? length : 0);
    return directory;
}

Handle Win32Platform::OpenParent(std::uint32_t processId) {
    return ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
}

std::uint64_t Win32Platform::StartTimeOf(Handle process) {
    FILETIME created{};
    FILETIME unused[3]{};
    if (::GetProcessTimes(process != nullptr ? process : ::GetCurrentProcess(), &created,
                          &unused[0], &unused[1], &unused[2]) == FALSE) {
        return 0;
    }
    return (std::uint64_t{created.dwHighDateTime} << 32) | created.dwLowDateTime;
}

std::uint32_t Win32Platform::StartElevated(const ElevatedStart& start, Handle& process) {
    if (start.timeoutMs == kInfinite) {
        return StartElevatedNow(start, process);
    }
    const auto call = std::make_shared<ElevatedCall>();
    call->start = start;
    auto context = std::make_unique<std::shared_ptr<ElevatedCall>>(call);
    const KernelHandle thread(
        ::CreateThread(nullptr, 0, StartElevatedOnThread, context.get(), 0, nullptr));
    if (!thread.valid()) {
        return LastError();
    }
    static_cast<void>(context.release());  // the thread's own from here on
    // Left running when the prompt outlasts the wait: the process ends soon, and a run started
    // by a later answer finds it gone.
    if (::WaitForSingleObject(thread.get(), start.timeoutMs) != WAIT_OBJECT_0) {
        return ERROR_TIMEOUT;
    }
    process = call->process.Release();
    return call->error;
}

}  // namespace modVantrel
