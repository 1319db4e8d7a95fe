// Vantrel's version, in one place: the version resource and the help text both read it. Only
// preprocessor lines, so that the resource compiler can include it.
#ifndef VANTREL_PLATFORM_VERSION_H
#define VANTREL_PLATFORM_VERSION_H

#define VANTREL_VERSION_MAJOR 1
#define VANTREL_VERSION_MINOR 0
#define VANTREL_VERSION_TEXT "1.00"

#endif
