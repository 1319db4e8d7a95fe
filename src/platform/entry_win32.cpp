// The entry point: one run of Main on the program's only thread.
#include <new>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "command/mod_vantrel.h"
#include "platform/win32_platform.h"

namespace {

// Out of memory ends the run with the fatal report, straight from the failed allocation. A handler
// rather than a catch of std::bad_alloc: nothing is left to unwind that the process's end does not
// release, and with no catch the exception-handling runtime stays out of the executable.
void ReportOutOfMemory() {
    modVantrel::Win32Platform platform;
    platform.Fatal(modVantrel::FatalKind::OutOfMemory);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    std::set_new_handler(ReportOutOfMemory);
    modVantrel::Win32Platform platform;
    return modVantrel::Main(platform);
}
