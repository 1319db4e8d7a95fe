// Runs vantrel.exe where no display shows its message box: prints each box to standard output,
// answers it with OK, and exits with the program's own exit status. Used by scripts/run.sh.
//   vantrel_box_relay <path-to-vantrel.exe> [arguments for vantrel...]
// The arguments reach vantrel.exe exactly as they stand on this program's command line.
#include <windows.h>

#include <string>

#include "box_watch.h"
#include "harness.h"
#include "platform/command_text.h"

namespace {

// The program's name as the first token of its command line: quoted, or up to the first blank.
std::wstring FirstToken(const std::wstring& text) {
    if (!text.empty() && text.front() == L'"') {
        return text.substr(1, text.find(L'"', 1) - 1);
    }
    return text.substr(0, text.find_first_of(L" \t"));
}

std::wstring ForTerminal(const std::wstring& text) {
    std::wstring lines;
    for (const wchar_t c : text) {
        if (c != L'\r') {
            lines += c;
        }
    }
    return lines.empty() || lines.back() == L'\n' ? lines : lines + L'\n';
}

}  // namespace

int wmain() {
    const std::wstring rest(modVantrel::ArgumentText(::GetCommandLineW()));
    const std::wstring program = FirstToken(rest);
    if (program.empty()) {
        e2e::Print(L"usage: vantrel_box_relay <path-to-vantrel.exe> [arguments]\n");
        return 2;
    }
    const std::wstring arguments(modVantrel::ArgumentText(rest));
    const std::wstring commandLine =
        L"\"" + program + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    const e2e::WatchedRun run = e2e::RunAnsweringBoxes(
        program, commandLine, L"", e2e::kNoTimeLimit, [](const e2e::Box& box) {
            e2e::Print(L"[" + box.caption + L"]\n" + ForTerminal(box.text));
        });
    if (!run.started) {
        e2e::Print(L"vantrel_box_relay: cannot start " + program + L" (error " +
                   std::to_wstring(run.startError) + L")\n");
        return 1;
    }
    return static_cast<int>(run.exitCode);
}
