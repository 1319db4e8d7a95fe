// What "/?" and "--version" show.
#pragma once

#include <string>

namespace modVantrel {

// The version line alone: the name, the version and what Vantrel does.
std::wstring VersionText();

// The version line, then the command line, every switch, the priorities, the exit statuses and
// where to read more; each line ends with CR LF and fits 80 columns.
std::wstring HelpText();

}  // namespace modVantrel
