// Reads the argument text of Vantrel's command line into a request.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace modVantrel {

struct CommandLineRequest {
    bool wait = false;          // a "/w" token was seen
    std::int32_t selector = 0;  // the priority number of the last "/p:" token
    std::wstring collected;     // program path and arguments, as collected from other tokens
};

// Reads a priority number: blanks, tabs and line feeds are skipped; the longest leading decimal
// number (sign, point, exponent) or &h / &o number is taken, rounded half to even. A value that
// does not fit 32 bits is pinned to the nearest bound, so it is still out of range.
std::int32_t ReadPriorityNumber(std::wstring_view text);

// Splits the text at every space and classifies each token. Switches are recognised in any case;
// everything collected keeps the case it was typed in.
CommandLineRequest ParseCommandLine(std::wstring_view text);

}  // namespace modVantrel
