// Reads the argument text of Vantrel's command line into a request.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace modVantrel {

// The processors that "/a:ecores" and "/a:pcores" name by their class rather than by a mask.
enum class Cores : std::uint8_t { None, Efficiency, Performance };

struct CommandLineRequest {
    bool wait = false;          // a "/w" token was seen
    std::int32_t selector = 0;  // the priority number of the last "/p:" token
    // The program path as collected from the tokens before it, then the program's arguments as
    // typed, less the "/w" and "/p:" tokens outside their quotes.
    std::wstring collected;
    // Where the program path ends in `collected`: just past its ".exe"; 0 when it holds none.
    std::size_t pathEnd = 0;
    // Options that count only before the program path.
    bool tree = false;        // "/t": settings and wait over the whole process tree
    bool efficiency = false;  // "/e": efficiency mode
    bool report = false;      // "/r": a wait, then a line on standard error of what the run cost
    bool background = false;  // "/bg": the disk's and memory's priority Very Low
    // The mask of the last "/a:" token, 0 when its text is not a mask; none without such a token.
    std::optional<std::uint64_t> affinity;
    // The processors that the last "/a:" token named instead, whose mask only the platform knows.
    Cores cores = Cores::None;
    // The process id of the last "/parent:" token, 0 when its text is not one; none without such
    // a token.
    std::optional<std::uint32_t> parent;
    // The limits of the last "/time:" (seconds), "/cpu:" (percent) and "/mem:" (bytes) tokens, 0
    // when the text is not one; none without such a token.
    std::optional<std::uint32_t> timeLimit;
    std::optional<std::uint32_t> cpuLimit;
    std::optional<std::uint64_t> memoryLimit;
};

// Reads a priority number: blanks, tabs and line feeds are skipped; the longest leading decimal
// number (sign, point, exponent) or &h / &o number is taken, rounded half to even. A value that
// does not fit 32 bits is pinned to the nearest bound, so it is still out of range.
std::int32_t ReadPriorityNumber(std::wstring_view text);

// Reads an affinity mask: 1 to 16 hexadecimal digits in any case and nothing else. Any other text
// gives 0, which names no processor, as a mask of zeros does.
std::uint64_t ReadAffinityMask(std::wstring_view text);

// Reads a process id: 1 to 10 decimal digits and nothing else, within 32 bits. Any other text
// gives 0, which names no process that can be waited on.
std::uint32_t ReadProcessId(std::wstring_view text);

// Reads a time limit: 1 to 10 decimal digits and an optional unit, s (the default), m or h, in any
// case, in all 1 to 4294967 seconds. Any other text gives 0.
std::uint32_t ReadTimeLimit(std::wstring_view text);

// Reads a processor share: 1 to 3 decimal digits, 1 to 100 percent. Any other text gives 0.
std::uint32_t ReadCpuLimit(std::wstring_view text);

// Reads a memory limit: 1 to 10 decimal digits and a unit, K, M or G in any case (1024, 1024^2,
// 1024^3 bytes), in all at least 1 MiB. Any other text gives 0.
std::uint64_t ReadMemoryLimit(std::wstring_view text);

// Splits the text at every space and classifies each token. Up to the end of the program path (the
// first token after which the collected text holds ".exe" and no quote is open), a token opening a
// quote starts the path afresh while nothing is collected, and continues it after; a quoted path
// whose quoted text ends with ".exe" is exactly that text. After the path, quotes and backslashes
// are the program's own. Switches are recognised in any case; everything collected keeps the case
// it was typed in.
CommandLineRequest ParseCommandLine(std::wstring_view text);

}  // namespace modVantrel
