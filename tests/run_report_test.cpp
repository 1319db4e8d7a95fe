#include "launch/run_report.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace modVantrel {
namespace {

constexpr std::uint64_t kMiB = 1024 * 1024;
constexpr std::uint64_t kMost = ~std::uint64_t{0};

struct ReportCase {
    int status;
    std::uint64_t elapsedMicroseconds;
    RunCost cost;  // times in 100 ns
    bool timedOut;
    bool memoryLimitHit;
    const wchar_t* line;  // without its CR LF
};

TEST(ReportLineTest, WritesTheFiguresInOrder) {
    const ReportCase cases[] = {
        {0,
         12480000,
         {379000000, 21000000, 14, 12405 * kMiB / 10, 350 * kMiB, 120 * kMiB},
         false,
         false,
         L"status=0 elapsed=12.480s user=37.900s kernel=2.100s processes=14 "
         L"peak-commit=1240.5MiB read=350.0MiB written=120.0MiB"},
        // Halves round up, in milliseconds and in tenths of a MiB (52428.8 bytes).
        {7,
         1500,
         {4999, 5000, 1, 52428, 52429, kMiB - 1},
         false,
         false,
         L"status=7 elapsed=0.002s user=0.000s kernel=0.001s processes=1 peak-commit=0.0MiB "
         L"read=0.1MiB written=1.0MiB"},
        {-1073741819,
         499,
         {0, 0, 0, 0, 0, 0},
         false,
         false,
         L"status=-1073741819 elapsed=0.000s user=0.000s kernel=0.000s processes=0 "
         L"peak-commit=0.0MiB read=0.0MiB written=0.0MiB"},
        {1,
         kMost,
         {kMost, 10000000, kMost, kMost, kMost, 5 * kMiB * kMiB},
         false,
         false,
         L"status=1 elapsed=18446744073709.552s user=1844674407370.955s kernel=1.000s "
         L"processes=18446744073709551615 peak-commit=17592186044416.0MiB "
         L"read=17592186044416.0MiB written=5242880.0MiB"},
        // What the system did not give.
        {3,
         1000000,
         {},
         false,
         false,
         L"status=3 elapsed=1.000s user=- kernel=- processes=- peak-commit=- read=- written=-"},
        {1460,
         7200000000,
         {{}, {}, 2, {}, {}, {}},
         true,
         false,
         L"status=1460 elapsed=7200.000s user=- kernel=- processes=2 peak-commit=- read=- "
         L"written=- limit=time"},
        {0,
         0,
         {{}, {}, 1, 4096 * kMiB, {}, {}},
         false,
         true,
         L"status=0 elapsed=0.000s user=- kernel=- processes=1 peak-commit=4096.0MiB read=- "
         L"written=- limit=memory"},
        {1460,
         0,
         {},
         true,
         true,
         L"status=1460 elapsed=0.000s user=- kernel=- processes=- peak-commit=- read=- written=- "
         L"limit=time"},
    };
    for (const ReportCase& c : cases) {
        LaunchOutcome outcome;
        outcome.elapsedMicroseconds = c.elapsedMicroseconds;
        outcome.cost = c.cost;
        outcome.timedOut = c.timedOut;
        outcome.memoryLimitHit = c.memoryLimitHit;
        EXPECT_EQ(ReportLine(c.status, outcome), L"vantrel: " + std::wstring(c.line) + L"\r\n");
    }
}

}  // namespace
}  // namespace modVantrel
