// Where Vantrel's standard error stands, so that the report always begins a line.
#include <windows.h>

#include "platform/unique_handle.h"
#include "platform/win32_platform.h"

namespace modVantrel {

// A console tells where its cursor is; a file, what its last character is, read through a handle
// of Vantrel's own so that the shared position stays where the program left it. A pipe, a device,
// or a file that may not be read, cannot tell.
bool Win32Platform::ErrorAtLineStart() {
    const HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
    CONSOLE_SCREEN_BUFFER_INFO screen{};
    if (::GetConsoleScreenBufferInfo(error, &screen)) {
        return screen.dwCursorPosition.X == 0;
    }
    LARGE_INTEGER at{};
    if (::GetFileType(error) != FILE_TYPE_DISK ||
        !::SetFilePointerEx(error, LARGE_INTEGER{}, &at, FILE_CURRENT)) {
        return false;
    }
    return LineEndsBefore(error, static_cast<std::uint64_t>(at.QuadPart));
}

bool LineEndsBefore(Handle file, std::uint64_t end) {
    if (end == 0) {
        return true;
    }
    const KernelHandle reader(::ReOpenFile(
        file, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0));
    OVERLAPPED before{};
    const std::uint64_t last = end - 1;
    before.Offset = static_cast<DWORD>(last);
    before.OffsetHigh = static_cast<DWORD>(last >> 32);
    char character = 0;
    DWORD read = 0;
    return reader.valid() && ::ReadFile(reader.get(), &character, 1, &read, &before) != FALSE &&
           read == 1 && character == '\n';
}

}  // namespace modVantrel
