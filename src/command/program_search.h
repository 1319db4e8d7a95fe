// Finds the program that a command line names, as a shell would: a name alone in the current
// folder and then along the PATH, a path with a folder where it says only.
#pragma once

#include <string>
#include <string_view>

#include "command/command_line_reader.h"
#include "platform/platform.h"

namespace modVantrel {

// The program to start for `path`: a path with a folder (a "\", "/" or ":") or a wildcard as it
// is, when the lookup finds an ordinary file there; a name alone by the full path of the first
// ordinary file of that name in the current folder, unless the environment has
// NoDefaultCurrentDirectoryInExePath, then in each absolute folder of the PATH in order. Empty
// when nothing is found.
std::wstring FindProgram(Platform& platform, const std::wstring& path);

// The argument text for the elevated restart: `line` with the typed path replaced by the quoted
// program that was found, so that the elevated run, whose current folder and PATH may differ,
// starts the same file; `line` itself when the program is the path as typed.
std::wstring WithProgramPath(std::wstring_view line, const CommandLineRequest& request,
                             std::wstring_view program);

}  // namespace modVantrel
