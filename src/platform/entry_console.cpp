// vantrel.com's entry point: one run of Main on the program's only thread.
#include "platform/console_platform.h"

int wmain() {
    modVantrel::ConsolePlatform platform;
    return modVantrel::RunReportingFatal(platform);
}
