// vantrel.exe's entry point: one run of Main on the program's only thread.
#include <windows.h>

#include "platform/windowed_platform.h"

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, PWSTR /*arguments*/,
                    int /*show*/) {
    modVantrel::WindowedPlatform platform;
    return modVantrel::RunReportingFatal(platform);
}
