// Splits the program's own name off a Windows command line.
#pragma once

#include <string_view>

namespace modVantrel {

// The argument part of a full command line: what follows the program's own name, which is either
// quoted or ends at the first blank, with the blanks after the name skipped. Everything else,
// double quotes included, stays as typed.
std::wstring_view ArgumentText(std::wstring_view commandLine);

}  // namespace modVantrel
