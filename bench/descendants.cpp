#include "descendants.h"

#include <filesystem>
#include <fstream>

#include "rounds.h"

namespace bench {

void MeasureDelays(const std::wstring& vantrel, const std::wstring& tree, int count,
                   DelayFigures& figures) {
    wchar_t folder[MAX_PATH];
    const DWORD length = ::GetTempPathW(MAX_PATH, folder);
    const std::wstring file = std::wstring(folder, length) + L"vantrel_bench_descendants.txt";
    ::DeleteFileW(file.c_str());
    const Launcher launcher = MakeLauncher(
        "vantrel.exe /bg /t /p:4", vantrel,
        Quoted(vantrel) + L" /bg /t /p:4 " + Quoted(tree) + L" descend " + std::to_wstring(count),
        true);
    figures.expected = count;
    ::SetEnvironmentVariableW(L"VANTREL_TREE_REPORT", file.c_str());
    Started started;
    const bool ended = Start(launcher, started) && AwaitEnd(launcher, started.process.get());
    ::SetEnvironmentVariableW(L"VANTREL_TREE_REPORT", nullptr);
    if (!ended) {
        return;
    }
    // One line a descendant: how many it has still to start, and its two delays (-1: never).
    std::ifstream lines{std::filesystem::path(file)};
    int remaining = 0;
    double fromFirst = 0;
    double fromCreation = 0;
    while (lines >> remaining >> fromFirst >> fromCreation) {
        if (fromFirst < 0) {
            ++figures.never;
            continue;
        }
        figures.fromFirstMs.push_back(fromFirst);
        figures.fromCreationMs.push_back(fromCreation);
    }
    lines.close();
    ::DeleteFileW(file.c_str());
}

}  // namespace bench
