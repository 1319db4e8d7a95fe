// The log of "/log:": one file that runs append to side by side, and the local time its lines
// begin with.
#include <windows.h>

#include "platform/win32_platform.h"

namespace modVantrel {
namespace {

constexpr std::int64_t kTicksPerMinute = 600000000;  // FILETIME counts 100 ns

std::int64_t Ticks(const FILETIME& time) {
    return static_cast<std::int64_t>(std::uint64_t{time.dwHighDateTime} << 32 | time.dwLowDateTime);
}

}  // namespace

// Appending only, the system puts every write at the end of the file as it is then, so that runs
// and programs writing at once never overwrite each other. The program gets a copy of this handle
// as its output and error, and so appends as well. Its attributes give the size, for the report.
Handle Win32Platform::OpenLog(const std::wstring& path, std::uint32_t& error) {
    constexpr DWORD kAccess = FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
    const HANDLE log = ::CreateFileW(path.c_str(), kAccess, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE) {
        error = LastError();
        return nullptr;
    }
    return log;
}

void Win32Platform::WriteLog(Handle log, const std::wstring& text) {
    WriteUtf8(log, text);
}

bool Win32Platform::LogAtLineStart(Handle log) {
    LARGE_INTEGER size{};
    return ::GetFileSizeEx(log, &size) != FALSE &&
           LineEndsBefore(log, static_cast<std::uint64_t>(size.QuadPart));
}

// One reading of the clock, turned local by the zone's rule in force now; the offset is the
// difference between the two, so that both always agree.
LocalTime Win32Platform::LocalNow() {
    FILETIME utc{};
    FILETIME local{};
    SYSTEMTIME fields{};
    ::GetSystemTimeAsFileTime(&utc);
    if (!::FileTimeToLocalFileTime(&utc, &local)) {
        local = utc;
    }
    ::FileTimeToSystemTime(&local, &fields);
    LocalTime time;
    time.year = fields.wYear;
    time.month = fields.wMonth;
    time.day = fields.wDay;
    time.hour = fields.wHour;
    time.minute = fields.wMinute;
    time.second = fields.wSecond;
    time.utcOffsetMinutes =
        static_cast<std::int32_t>((Ticks(local) - Ticks(utc)) / kTicksPerMinute);
    return time;
}

}  // namespace modVantrel
