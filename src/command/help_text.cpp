#include "command/help_text.h"

#include <string_view>

#include "platform/version.h"

namespace modVantrel {
namespace {

// ASCII in single bytes: wide, the text would take twice the room in the executable.
constexpr std::string_view kVersionLine =
    "Vantrel " VANTREL_VERSION_TEXT
    ": starts a program at a chosen priority class, within limits\n";

// One constant, so that the text reads as it is shown; under 60 lines of at most 79 columns.
constexpr std::string_view kHelpBody = R"(
Usage: vantrel [options] /p:<priority> <program.exe> [arguments]

  /p:<priority>   the priority class: a number or a name from the table below
  /w              wait for the program to end; exit with its exit status
  /t              the whole process tree: every process the program starts gets
                  the class and the hints; wait until the last one has ended
  /r              wait as /w does, then write a line of what the run cost
  /e              efficiency mode, a hint to run power-throttled
  /bg             background work: disk and memory priority Very Low
  /a:<mask>       the processors, a hexadecimal mask: /a:3 is processors 0, 1
  /a:ecores       the efficiency cores; /a:pcores: the performance cores
  /time:<n>[s|m|h]   a time limit for the tree: asked to close, then ended
  /grace:<n>[s|m|h]  with /time:, how long the tree may take to close (10 s)
  /cpu:<percent>  a hard cap on the tree's share of all the processors
  /mem:<n>K|M|G   the memory the tree may commit, at least 1M
  /parent:<pid>   stop waiting when that process ends
  /log:<file>     append the program's output, messages and report to a file
  /?, --help      this help;  --version: the version line

/w and /p: count anywhere on the line; the other options only before the
program. A name without a folder is looked for in the current folder, then
in each folder of the PATH. /time:, /cpu: and /mem: imply /t.

Priorities:
  1  idle, low       2  belownormal     3  normal
  4  abovenormal     5  high            6  realtime

Exit status:
  0      the program was started (without a wait)
  its    the program's own exit status, with /w, /t or /r
  87     the command line is wrong (the usage text says why)
  2      the program was not found
  1067   the /parent: process ended while Vantrel waited
  1460   the time limit ended the tree
  other  Windows' error code when the program could not be started

Read more in README.md, beside vantrel.exe.
)";

// The text, its line feeds as CR LF, as every Windows console and editor shows them.
void AppendLines(std::string_view lines, std::wstring& text) {
    for (const char c : lines) {
        if (c == '\n') {
            text += L'\r';
        }
        text += static_cast<wchar_t>(c);
    }
}

}  // namespace

std::wstring VersionText() {
    std::wstring text;
    AppendLines(kVersionLine, text);
    return text;
}

std::wstring HelpText() {
    std::wstring text;
    AppendLines(kVersionLine, text);
    AppendLines(kHelpBody, text);
    return text;
}

}  // namespace modVantrel
