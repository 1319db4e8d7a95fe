// The entry point: one run of Main on the program's only thread.
#include <new>

#include <windows.h>

#include "command/mod_vantrel.h"
#include "platform/win32_platform.h"

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, PWSTR /*arguments*/,
                    int /*show*/) {
    modVantrel::Win32Platform platform;
    int status = 0;
    try {
        status = modVantrel::Main(platform);
    } catch (const std::bad_alloc&) {
        platform.Fatal(modVantrel::FatalKind::OutOfMemory);
    }
    return status;
}
