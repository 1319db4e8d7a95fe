// Reads the argument text of Vantrel's command line into a request.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "command/number_reader.h"

namespace modVantrel {

// The processors that "/a:ecores" and "/a:pcores" name by their class rather than by a mask.
enum class Cores : std::uint8_t { None, Efficiency, Performance };

struct CommandLineRequest {
    bool wait = false;          // a "/w" token was seen
    std::int32_t selector = 0;  // the priority number of the last "/p:" token
    // The program path, its quotes taken out; empty when the line names no ".exe".
    std::wstring path;
    // The program's arguments: the text after the path exactly as typed, less the "/w" and "/p:"
    // tokens among them (each with the one blank after it) and the blanks outside quotes that
    // begin or end it.
    std::wstring arguments;
    // Where the path was typed in the line: from its first token to its end, the closing quote
    // that is its own included. Without a path, the path's tokens run to the line's end.
    std::size_t pathBegin = 0;
    std::size_t pathEnd = 0;
    // Options that count only before the program path.
    bool tree = false;        // "/t": settings and wait over the whole process tree
    bool efficiency = false;  // "/e": efficiency mode
    bool report = false;      // "/r": a wait, then a line on standard error of what the run cost
    bool background = false;  // "/bg": the disk's and memory's priority Very Low
    bool help = false;        // "/?", "-?", "/h", "-h" or "--help": show the help, run nothing
    bool version = false;     // "--version" or "/version": show the version line, run nothing
    // The mask of the last "/a:" token, 0 when its text is not a mask; none without such a token.
    std::optional<std::uint64_t> affinity;
    // The processors that the last "/a:" token named instead, whose mask only the platform knows.
    Cores cores = Cores::None;
    // The process id of the last "/parent:" token, 0 when its text is not one; none without such
    // a token.
    std::optional<std::uint32_t> parent;
    // The elevated restart's form of that token, "/parent:<id>:<start>:<deadline>"; none for any
    // other, a plain id included.
    std::optional<ParentMark> restart;
    // The limits of the last "/time:" (seconds), "/cpu:" (percent) and "/mem:" (bytes) tokens, 0
    // when the text is not one; none without such a token.
    std::optional<std::uint32_t> timeLimit;
    std::optional<std::uint32_t> cpuLimit;
    std::optional<std::uint64_t> memoryLimit;
    // The seconds of the last "/grace:" token, above kMaxGraceSeconds when the text is not one;
    // none without such a token.
    std::optional<std::uint32_t> gracePeriod;
    // The file named by the last "/log:" token, its quotes taken out; none without such a token.
    std::optional<std::wstring> log;
};

// Splits the line as Windows programs split theirs: blanks outside quotes separate tokens, and a
// switch is a whole token with no quote in it, in any case. "/w" and "/p:" count anywhere, the
// options before the path only. The path starts at the first other token that is not empty and
// runs, by the rule for a program's name, up to and including its first ".exe" outside quotes.
// Quotes group a name: a quoted ".exe" ends it only where its stretch ends there, or where only
// blanks and dots are left of the stretch and its quote ends the word; a quote that is never
// closed takes the path to its last ".exe" that ends a word. What follows is the program's, split
// by its own rule, the rest of the path's own word included. "/log:" alone may hold quotes, for
// a file name with blanks.
CommandLineRequest ParseCommandLine(std::wstring_view line);

}  // namespace modVantrel
