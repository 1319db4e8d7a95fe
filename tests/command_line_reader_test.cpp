#include "command/command_line_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>

namespace modVantrel {
namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

struct ReaderCase {
    const wchar_t* text;
    bool wait;
    std::int32_t selector;
    const wchar_t* collected;  // the path, a space, then the program's arguments
    bool tree = false;
    bool efficiency = false;
    std::optional<std::uint64_t> affinity = std::nullopt;
    std::optional<std::uint32_t> parent = std::nullopt;
    bool report = false;
    bool background = false;
    Cores cores = Cores::None;
    std::optional<std::wstring> log = std::nullopt;
};

void PrintTo(const ReaderCase& c, std::ostream* os) {
    *os << ::testing::PrintToString(std::wstring(c.text));
}

class ReaderTest : public ::testing::TestWithParam<ReaderCase> {};

TEST_P(ReaderTest, ReadsRequest) {
    const ReaderCase& c = GetParam();
    const CommandLineRequest request = ParseCommandLine(c.text);
    EXPECT_EQ(request.wait, c.wait);
    EXPECT_EQ(request.selector, c.selector);
    EXPECT_EQ(request.path + L' ' + request.arguments, c.collected);
    EXPECT_EQ(request.tree, c.tree);
    EXPECT_EQ(request.efficiency, c.efficiency);
    EXPECT_EQ(request.affinity, c.affinity);
    EXPECT_EQ(request.parent, c.parent);
    EXPECT_EQ(request.report, c.report);
    EXPECT_EQ(request.background, c.background);
    EXPECT_EQ(request.cores, c.cores);
    EXPECT_EQ(request.log, c.log);
}

INSTANTIATE_TEST_SUITE_P(
    Tokens, ReaderTest,
    ::testing::Values(
        ReaderCase{L"", false, 0, L" "},
        ReaderCase{L"/w /p:5 c:\\tools\\app.exe -x", true, 5, L"c:\\tools\\app.exe -x"},
        ReaderCase{L"/p:2 c:\\app.exe /p:4", false, 4, L"c:\\app.exe "},
        ReaderCase{L"c:\\app.exe /w", true, 0, L"c:\\app.exe "},
        // Switches in any case; everything collected keeps its case.
        ReaderCase{L"/W /P:3 C:\\Tools\\App.EXE -Verbose", true, 3, L"C:\\Tools\\App.EXE -Verbose"},
        ReaderCase{L"/wait /p c:\\a.exe", false, 0, L"/wait /p c:\\a.exe "},
        // The path keeps the blanks typed between its words; tabs separate switches too.
        ReaderCase{L"a  b.exe", false, 0, L"a  b.exe "},
        ReaderCase{L" a\t.exe ", false, 0, L"a\t.exe "},
        ReaderCase{L"/p:2\t7za.exe", false, 2, L"7za.exe "},
        // An opening quote starts the path only before any text; a quoted path ends at its quote.
        // The program's arguments stay as typed and no quoted one replaces the path.
        ReaderCase{L"\"c:\\program files\\app.exe\" -q", false, 0,
                   L"c:\\program files\\app.exe -q"},
        ReaderCase{L"x \"c:\\a b\\app.exe\"", false, 0, L"x c:\\a b\\app.exe "},
        ReaderCase{L"\"c:\\t.exe\"x \"b /w c\"", false, 0, L"c:\\t.exe x \"b /w c\""},
        ReaderCase{L"c:\\app.exe \"a b\"", false, 0, L"c:\\app.exe \"a b\""},
        ReaderCase{L"scan.exe x \"c:\\dl\\evil.exe\"", false, 0,
                   L"scan.exe x \"c:\\dl\\evil.exe\""},
        ReaderCase{L"\"c:\\av\\scan.exe \"c:\\dl\\evil.exe\"", false, 0,
                   L"c:\\av\\scan.exe \"c:\\dl\\evil.exe\""},
        ReaderCase{L"\"c:\\a b\\t.exe\" \"x y\" /w", true, 0, L"c:\\a b\\t.exe \"x y\""},
        // Quotes group a name; what follows it in its word is the program's, never a switch.
        // clang-format off
        ReaderCase{L"/w /p:1 \"c:\\t\\probe.exe /p:9 x\" y", true, 1, L" "},
        ReaderCase{L"/w /p:3 \"c:\\t\\my.exe files\\run.exe \" a b", true, 3, L"c:\\t\\my.exe files\\run.exe  a b"},
        ReaderCase{L"\"c:\\t\\probe.exe.\" a b", false, 0, L"c:\\t\\probe.exe. a b"},
        ReaderCase{L"\"c:\\t\\probe.exe \" \"keep /w this\" x", false, 0, L"c:\\t\\probe.exe  \"keep /w this\" x"},
        ReaderCase{L"/p:3 c:\\t\\probe.exe/p:1 x", false, 3, L"c:\\t\\probe.exe /p:1 x"},
        ReaderCase{L"\"c:\\t\\probe.exe\"/w x", false, 0, L"c:\\t\\probe.exe /w x"},
        ReaderCase{L"c:\\t\\\"my.exe files\"\\run.exe a", false, 0, L"c:\\t\\my.exe files\\run.exe a"},
        ReaderCase{L"\"c:\\t\\my.exe files\"\\run.exe a", false, 0, L"c:\\t\\my.exe files\\run.exe a"},
        ReaderCase{L"\"c:\\a.exeb x", false, 0, L" "}, ReaderCase{L"a.exe /p:\\\"4", false, 0, L"a.exe /p:\\\"4"},
        // clang-format on
        // A quote inside a word groups as in any program's name; no switch is read inside quotes;
        // a path whose quote is never closed runs to its last ".exe" that ends a word.
        ReaderCase{L"/w /p:3 c:\\Program\" Files\\vt\\tool.exe\" x", true, 3,
                   L"c:\\Program Files\\vt\\tool.exe x"},
        ReaderCase{L"\"c:\\Program\" Files\\vt\\tool.exe x", false, 0,
                   L"c:\\Program Files\\vt\\tool.exe x"},
        ReaderCase{L"c:\\r\\a\" \"b.exe", false, 0, L"c:\\r\\a b.exe "},
        ReaderCase{L"pa.exe\"\" x y", false, 0, L"pa.exe \"\" x y"},
        ReaderCase{L"/p:3 \"c:\\r\\a /w b.exe\" x", false, 3, L"c:\\r\\a /w b.exe x"},
        ReaderCase{L"\"c:\\r\\a.exe b\\probe.exe x", false, 0, L"c:\\r\\a.exe b\\probe.exe x"},
        ReaderCase{L"probe.exe a /p:4\texit:5", false, 4, L"probe.exe a exit:5"},
        // Switches count outside quoted stretches only; an escaped quote opens none.
        ReaderCase{L"t.exe \"a /w b\" \"/p:2\" x /p:3  y", false, 3,
                   L"t.exe \"a /w b\" \"/p:2\" x  y"},
        ReaderCase{L"t.exe \"say \\\"hi\\\" /w", false, 0, L"t.exe \"say \\\"hi\\\" /w"},
        ReaderCase{L"t.exe-D\"a b\" /w", true, 0, L"t.exe -D\"a b\""},
        ReaderCase{L"x \"c:\\app.exe\"", false, 0, L"x c:\\app.exe "},
        ReaderCase{L"t.exe \"c:\\d\\\\\" /w", true, 0, L"t.exe \"c:\\d\\\\\""},
        ReaderCase{L"\"\"", false, 0, L" "}, ReaderCase{L"a\"b c.exe", false, 0, L"ab c.exe "},
        // Before the path an empty word names nothing; a lone quote groups the rest.
        ReaderCase{L"\"", false, 0, L" "}, ReaderCase{L"a \" b.exe", false, 0, L"a  b.exe "},
        ReaderCase{L"c:\\app.exe \" -x", false, 0, L"c:\\app.exe \" -x"},
        ReaderCase{L"/p:3 \" \"", false, 3, L" "},
        // Options count before the program path only, in any case; the last "/a:" counts whole.
        ReaderCase{L"/t /e /a:3 /p:2 c:\\a.exe -x", false, 2, L"c:\\a.exe -x", true, true, 3},
        ReaderCase{L"  /T  /E /A:f0 a.exe", false, 0, L"a.exe ", true, true, 0xF0},
        ReaderCase{L"/p:3 ping.exe /t /e /a:3 host /w", true, 3, L"ping.exe /t /e /a:3 host"},
        ReaderCase{L"x /t a.exe", false, 0, L"x /t a.exe "},
        ReaderCase{L"\"\" /t a.exe", false, 0, L"a.exe ", true},
        ReaderCase{L"/tx /e: /a a.exe", false, 0, L"/tx /e: /a a.exe "},
        ReaderCase{L"/R /r a.exe /r", false, 0, L"a.exe /r", false, false, {}, {}, true},
        ReaderCase{L"/a:zz /a:1 a.exe", false, 0, L"a.exe ", false, false, 1},
        ReaderCase{L"/a:1 /a:zz a.exe", false, 0, L"a.exe ", false, false, 0},
        ReaderCase{L"/a: a.exe", false, 0, L"a.exe ", false, false, 0},
        // "/bg" and the core names, in any case; "/a:e" stays a mask.
        // clang-format off
        ReaderCase{L"/BG /a:ECores a.exe /bg", false, 0, L"a.exe /bg", false, false, 0, {}, false, true, Cores::Efficiency},
        ReaderCase{L"/a:e /a:PCores a.exe", false, 0, L"a.exe ", false, false, 0, {}, false, false, Cores::Performance},
        ReaderCase{L"/a:pcores /a:e a.exe", false, 0, L"a.exe ", false, false, 0xE},
        // "/parent:" too: 1 to 10 decimal digits within 32 bits, else 0; the last one counts.
        ReaderCase{L"/Parent:0042 a.exe", false, 0, L"a.exe ", false, false, {}, 42},
        ReaderCase{L"/PARENT:4294967295 a.exe", false, 0, L"a.exe ", false, false, {}, ~0U},
        ReaderCase{L"/parent:7 /parent:4294967296 a.exe", false, 0, L"a.exe ", false, false, {}, 0},
        ReaderCase{L"/parent:00000000001 a.exe", false, 0, L"a.exe ", false, false, {}, 0},
        ReaderCase{L"/LOG:\"c:\\my logs\\a.log\" /p:3 a.exe /log:b", false, 3, L"a.exe /log:b", false, false, {}, {}, false, false, Cores::None, L"c:\\my logs\\a.log"},
        ReaderCase{L"/log: \"/log:b c.log\" a.exe", false, 0, L"a.exe ", false, false, {}, {}, false, false, Cores::None, L"b c.log"},
        // clang-format on
        ReaderCase{L"a.exe /parent:7", false, 0, L"a.exe /parent:7"}));

struct MaskCase {
    const wchar_t* text;
    std::uint64_t mask;  // 0: not a mask
};

TEST(ReaderTest, ReadsAffinityMask) {
    const MaskCase cases[] = {
        {L"1", 1},
        {L"3", 3},
        {L"F0", 0xF0},
        {L"f0", 0xF0},
        {L"aBc", 0xABC},
        {L"ffffffffffffffff", ~std::uint64_t{0}},
        {L"0000000000000001", 1},
        {L"8000000000000000", std::uint64_t{1} << 63},
        // Not masks: empty, zero, more than 16 digits (leading zeros count), prefixes, signs,
        // characters that are not hex digits, look-alike digits outside ASCII.
        {L"", 0},
        {L"0", 0},
        {L"00000000000000001", 0},
        {L"10000000000000000", 0},
        {L"0x1", 0},
        {L"&h1", 0},
        {L"-1", 0},
        {L"+1", 0},
        {L"1g", 0},
        {L"g", 0},
        {L"1\t", 0},
        {L"\uFF11", 0},
        {L"\u0661", 0}};
    for (const MaskCase& c : cases) {
        EXPECT_EQ(ReadAffinityMask(c.text), c.mask)
            << ::testing::PrintToString(std::wstring(c.text));
    }
}

TEST(ReaderTest, ReadsLimits) {
    // Seconds, percent, bytes, grace seconds; out of bounds, no unit or an unknown one, too many
    // digits: 0, for the grace 3601. The last one counts, whole; after the path they are the
    // program's.
    using Limits = std::tuple<std::optional<std::uint32_t>, std::optional<std::uint32_t>,
                              std::optional<std::uint64_t>, std::optional<std::uint32_t>>;
    constexpr std::uint64_t kMiB = 1 << 20;
    const std::pair<const wchar_t*, Limits> cases[] = {
        {L"/time:1 /cpu:1 /mem:1M /grace:0 a.exe", {1, 1, kMiB, 0}},
        {L"/TIME:2m /CPU:100 /MEM:2048k /GRACE:60M a.exe", {120, 100, 2 * kMiB, 3600}},
        {L"/time:4294967s /cpu:050 /mem:9999999999G /grace:0000000030s a.exe",
         {4294967, 50, 9999999999 * 1024 * kMiB, 30}},
        {L"/time:4294968 /cpu:101 /mem:1023K /grace:3601 a.exe", {0, 0, 0, 3601}},
        {L"/time:1d /cpu:0100 /mem:1 /grace:2h a.exe", {0, 0, 0, 3601}},
        {L"/time:00000000001 /cpu:0 /mem:M /grace:s a.exe", {0, 0, 0, 3601}},
        {L"/time:5 /time:1h /cpu:x /cpu:5 /grace:-1 /grace:1H a.exe /mem:1M /grace:2",
         {3600, 5, {}, 3600}},
        {L"/grace:7 /grace:00000000001 /grace:1x a.exe", {{}, {}, {}, 3601}},
    };
    for (const auto& [text, limits] : cases) {
        const CommandLineRequest request = ParseCommandLine(text);
        EXPECT_EQ(
            Limits(request.timeLimit, request.cpuLimit, request.memoryLimit, request.gracePeriod),
            limits)
            << text;
    }
}

struct NumberCase {
    const wchar_t* text;
    std::int32_t value;
};

void PrintTo(const NumberCase& c, std::ostream* os) {
    *os << ::testing::PrintToString(std::wstring(c.text));
}

class NumberTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(NumberTest, ReadsPriorityNumber) {
    const NumberCase& c = GetParam();
    EXPECT_EQ(ReadPriorityNumber(c.text), c.value)
        << "reading " << ::testing::PrintToString(std::wstring(c.text));
    // The same number behind "/p:" in a command line, where a blank would end the word.
    if (std::wstring_view(c.text).find_first_of(L" \t") == std::wstring_view::npos) {
        EXPECT_EQ(ParseCommandLine(std::wstring(L"/p:") + c.text).selector, c.value);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, NumberTest,
    ::testing::Values(
        NumberCase{L"", 0}, NumberCase{L"3", 3}, NumberCase{L"3x", 3}, NumberCase{L"x3", 0},
        NumberCase{L"0x6", 0}, NumberCase{L"+5", 5}, NumberCase{L"-1", -1}, NumberCase{L"--1", 0},
        NumberCase{L".", 0},
        // Blanks anywhere are skipped; tabs and line feeds stand in tokens.
        NumberCase{L"1\t2", 12}, NumberCase{L"\t4\n", 4}, NumberCase{L"\n5", 5},
        // Halfway cases go to the even neighbour.
        NumberCase{L"2.5", 2}, NumberCase{L"3.5", 4}, NumberCase{L"6.5", 6}, NumberCase{L"0.5", 0},
        NumberCase{L"-2.5", -2}, NumberCase{L"-3.5", -4}, NumberCase{L"2.51", 3},
        NumberCase{L"2.49", 2}, NumberCase{L".5", 0}, NumberCase{L"5.", 5}, NumberCase{L"1.5.5", 2},
        // Exponent, in any case, only when digits follow it.
        NumberCase{L"1e1", 10}, NumberCase{L"1E1", 10}, NumberCase{L"60e-1", 6},
        NumberCase{L"6e", 6}, NumberCase{L"6e+", 6}, NumberCase{L"6ex", 6},
        // Radix prefixes, in any case; reading stops at the first digit outside the radix.
        NumberCase{L"&h6", 6}, NumberCase{L"&H6", 6}, NumberCase{L"&hA", 10},
        NumberCase{L"&hf", 15}, NumberCase{L"&o7", 7}, NumberCase{L"&O10", 8},
        NumberCase{L"&o8", 0}, NumberCase{L"&h", 0}, NumberCase{L"&x6", 0}, NumberCase{L"&h6g", 6},
        // Characters outside ASCII end the number, look-alike digits included.
        NumberCase{L"5\u0663", 5}, NumberCase{L"\uFF15", 0},
        // The 32-bit bounds: values beyond them are pinned, so they stay out of range.
        NumberCase{L"2147483647", kMax}, NumberCase{L"-2147483648", kMin},
        NumberCase{L"2147483648", kMax}, NumberCase{L"-2147483649", kMin},
        NumberCase{L"99999999999", kMax}, NumberCase{L"-99999999999", kMin},
        NumberCase{L"1e400", kMax}, NumberCase{L"-1e400", kMin}, NumberCase{L"1e-400", 0},
        NumberCase{L"&hffffffff", kMax}, NumberCase{L"&h1000000000000000000000000000000", kMax},
        // The classes' names, in any case, as the whole value only.
        NumberCase{L"idle", 1}, NumberCase{L"LOW", 1}, NumberCase{L"BelowNormal", 2},
        NumberCase{L"normal", 3}, NumberCase{L"aboveNORMAL", 4}, NumberCase{L"High", 5},
        NumberCase{L"realtime", 6}, NumberCase{L"lowish", 0}, NumberCase{L"below normal", 0}));

TEST(ReaderTest, ReadsHelpAndVersionAsWholeWordsBeforeThePath) {
    // clang-format off
    const std::tuple<const wchar_t*, bool, bool> cases[] = {  // the line; the help; the version
        {L"/?", true, false}, {L"-? /p:3 a.exe", true, false}, {L"/p:3 /H a.exe", true, false}, {L"-h", true, false},
        {L"--HELP", true, false}, {L"--version", false, true}, {L"/Version a.exe", false, true}, {L"a.exe /? --version", false, false},
        {L"\"/?\" a.exe", false, false}, {L"/?? -help --help: a.exe", false, false}};
    for (const auto& [text, help, version] : cases) {
        const CommandLineRequest request = ParseCommandLine(text);
        EXPECT_EQ(std::pair(request.help, request.version), std::pair(help, version)) << text;
    }
    // clang-format on
}

}  // namespace
}  // namespace modVantrel
