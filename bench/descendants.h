// How soon vantrel.exe /t gives the descendants of its program the priority class, as the
// descendants themselves see it (bench/tree.cpp).
#pragma once

#include <string>
#include <vector>

namespace bench {

struct DelayFigures {
    int expected = 0;                    // descendants started
    std::vector<double> fromFirstMs;     // from a descendant's first instruction to the class
    std::vector<double> fromCreationMs;  // from its parent's call to create it to the class
    int never = 0;                       // descendants that gave up waiting for the class
};

// Runs `vantrel.exe /t /p:4 tree.exe descend <count>` once: a chain of `count` descendants, each
// polling its own priority class until it reads Above Normal and reporting to a file.
void MeasureDelays(const std::wstring& vantrel, const std::wstring& tree, int count,
                   DelayFigures& figures);

}  // namespace bench
