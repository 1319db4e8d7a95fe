// What the fuzz targets check the product against: how the C runtime splits a command line, as
// Microsoft documents it, written character by character and apart from the product's lexer, and
// independent readings of the numbers and of the priority table.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace vantrel_fuzz {

// Fails the run in a way libFuzzer reports as a crash, with the broken invariant named.
[[noreturn]] inline void Violated(const char* what) {
    std::fprintf(stderr, "invariant violated: %s\n", what);
    std::abort();
}

inline void Check(bool holds, const char* what) {
    if (!holds) {
        Violated(what);
    }
}

// Each pair of bytes is one UTF-16 code unit, low byte first; a last odd byte is dropped.
inline std::wstring DecodeUtf16(const std::uint8_t* data, std::size_t size) {
    std::wstring text;
    text.reserve(size / 2);
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        text.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    }
    return text;
}

inline bool IsLetter(wchar_t c, char lower) {
    return c == static_cast<wchar_t>(lower) || c == static_cast<wchar_t>(lower - ('a' - 'A'));
}

// One argument as a C runtime splits it from a command line: its text, where it was typed, and
// whether a double quote stood in it.
struct SplitArgument {
    std::wstring text;
    std::size_t begin = 0;
    std::size_t end = 0;
    bool quoted = false;
};

// Splits a line as Microsoft documents it for C programs, one character at a time. Blanks outside
// quotes separate arguments. By the argument rule, backslashes are counted until the next other
// character: before a quote, each pair gives one backslash and an odd one left makes the quote
// literal; before anything else they all stand. By the name rule every backslash stands and every
// quote groups.
inline std::vector<SplitArgument> SplitLikeRuntime(const std::wstring& line, bool nameRule) {
    std::vector<SplitArgument> split;
    bool inArgument = false;
    bool inQuotes = false;
    std::size_t backslashes = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const wchar_t c = line[i];
        const bool blank = c == L' ' || c == L'\t';
        if (!inArgument && blank) {
            continue;
        }
        if (!inArgument) {
            split.push_back(SplitArgument{L"", i, i, false});
            inArgument = true;
        }
        SplitArgument& argument = split.back();
        if (c == L'\\' && !nameRule) {
            ++backslashes;
        } else if (c == L'"') {
            argument.quoted = true;
            argument.text.append(backslashes / 2, L'\\');
            if (backslashes % 2 == 1) {
                argument.text.push_back(L'"');
            } else {
                inQuotes = !inQuotes;
            }
            backslashes = 0;
        } else {
            argument.text.append(backslashes, L'\\');
            backslashes = 0;
            if (blank && !inQuotes) {
                inArgument = false;
                continue;
            }
            argument.text.push_back(c);
        }
        argument.end = i + 1;
    }
    if (inArgument) {
        split.back().text.append(backslashes, L'\\');
    }
    return split;
}

inline std::wstring Lowered(const std::wstring& text) {
    std::wstring lowered = text;
    for (wchar_t& c : lowered) {
        c = c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c;
    }
    return lowered;
}

// The name of a switch an argument is, with its colon ("/w", "/p:", "/parent:"), or nothing: a
// switch has no quote in it, and only "/w" and "/p:" count past the start of the path.
inline std::wstring SwitchName(const SplitArgument& argument, bool beforePath) {
    static const wchar_t* const kAnywhere[] = {L"/w", L"/p:"};
    static const wchar_t* const kBefore[] = {L"/t",       L"/e",     L"/r",    L"/a:",
                                             L"/parent:", L"/time:", L"/cpu:", L"/mem:"};
    const std::wstring lowered = Lowered(argument.text);
    const auto matches = [&](const std::wstring& name) {
        return name.back() == L':' ? lowered.rfind(name, 0) == 0 : lowered == name;
    };
    for (const wchar_t* name : kAnywhere) {
        if (!argument.quoted && matches(name)) {
            return name;
        }
    }
    for (const wchar_t* name : kBefore) {
        if (!argument.quoted && beforePath && matches(name)) {
            return name;
        }
    }
    return {};
}

// What a reading of the line split into, by region: before the path and the path by the name
// rule, what follows by the argument rule. The path's arguments are whole, its last one running
// on past the path's end where it was typed on. Offsets are the line's.
struct SplitLine {
    std::vector<SplitArgument> before;
    std::vector<SplitArgument> path;
    std::vector<SplitArgument> after;
};

inline SplitLine SplitAround(const std::wstring& line, std::size_t pathBegin, std::size_t pathEnd) {
    const auto shifted = [&](std::size_t from, std::size_t to, bool nameRule) {
        std::vector<SplitArgument> split = SplitLikeRuntime(line.substr(from, to - from), nameRule);
        for (SplitArgument& argument : split) {
            argument.begin += from;
            argument.end += from;
        }
        return split;
    };
    std::vector<SplitArgument> path = shifted(pathBegin, line.size(), true);
    path.erase(
        std::find_if(path.begin(), path.end(),
                     [&](const SplitArgument& argument) { return argument.begin >= pathEnd; }),
        path.end());
    return {shifted(0, pathBegin, true), path, shifted(pathEnd, line.size(), false)};
}

// The value of a priority text that is a plain decimal (an optional sign, digits, at most one
// point; blanks, tabs and line feeds ignored), rounded half to even on the digits themselves and
// pinned to 32 bits. Nothing for any other text, nor for a fraction with more significant digits
// than a double holds exactly enough to tell which side of one half it lies.
inline std::optional<std::int32_t> PlainDecimal(const std::wstring& text) {
    std::wstring compact;
    for (const wchar_t c : text) {
        if (c != L' ' && c != L'\t' && c != L'\n') {
            compact.push_back(c);
        }
    }
    bool negative = false;
    std::size_t at = 0;
    if (at < compact.size() && (compact[at] == L'+' || compact[at] == L'-')) {
        negative = compact[at] == L'-';
        ++at;
    }
    constexpr std::int64_t kFar = std::int64_t{1} << 40;  // far outside 32 bits already
    std::int64_t whole = 0;
    int wholeDigits = 0;  // significant ones
    std::wstring fraction;
    bool point = false;
    bool anyDigit = false;
    for (; at < compact.size(); ++at) {
        const wchar_t c = compact[at];
        if (c == L'.' && !point) {
            point = true;
        } else if (c >= L'0' && c <= L'9') {
            anyDigit = true;
            if (point) {
                fraction.push_back(c);
            } else {
                whole = std::min(whole * 10 + (c - L'0'), kFar);
                wholeDigits += whole != 0 ? 1 : 0;
            }
        } else {
            return std::nullopt;
        }
    }
    while (!fraction.empty() && fraction.back() == L'0') {
        fraction.pop_back();
    }
    if (!anyDigit) {
        return std::nullopt;
    }
    if (whole < kFar && !fraction.empty()) {
        if (wholeDigits + fraction.size() > 15) {
            return std::nullopt;
        }
        const bool half = fraction == L"5";
        const bool aboveHalf = fraction[0] > L'5' || (fraction[0] == L'5' && !half);
        if (aboveHalf || (half && whole % 2 == 1)) {
            ++whole;
        }
    }
    const std::int64_t value = negative ? -whole : whole;
    if (value > INT32_MAX) {
        return INT32_MAX;
    }
    if (value < INT32_MIN) {
        return INT32_MIN;
    }
    return static_cast<std::int32_t>(value);
}

// The value of a priority text that starts "&h" or "&o" (any case, blanks, tabs and line feeds
// ignored): the digits of that radix up to the first other character, pinned to 32 bits. Nothing
// for any other text.
inline std::optional<std::int32_t> RadixNumber(const std::wstring& text) {
    std::wstring compact;
    for (const wchar_t c : text) {
        if (c != L' ' && c != L'\t' && c != L'\n') {
            compact.push_back(c);
        }
    }
    if (compact.size() < 2 || compact[0] != L'&') {
        return std::nullopt;
    }
    const bool hex = IsLetter(compact[1], 'h');
    if (!hex && !IsLetter(compact[1], 'o')) {
        return std::nullopt;
    }
    const std::wstring digits = hex ? L"0123456789abcdef" : L"01234567";
    std::int64_t value = 0;
    for (std::size_t at = 2; at < compact.size(); ++at) {
        wchar_t c = compact[at];
        if (c >= L'A' && c <= L'F') {
            c = static_cast<wchar_t>(c - L'A' + L'a');
        }
        const std::size_t digit = digits.find(c);
        if (digit == std::wstring::npos) {
            break;
        }
        value = std::min<std::int64_t>(value * (hex ? 16 : 8) + static_cast<std::int64_t>(digit),
                                       std::int64_t{1} << 40);
    }
    return static_cast<std::int32_t>(std::min<std::int64_t>(value, INT32_MAX));
}

// The mask an affinity text names: 1 to 16 hex digits, no prefix; nothing for any other text.
inline std::optional<std::uint64_t> ModelAffinityMask(const std::wstring& text) {
    const std::wstring digits = L"0123456789abcdef";
    if (text.empty() || text.size() > 16) {
        return std::nullopt;
    }
    std::uint64_t mask = 0;
    for (wchar_t c : text) {
        if (c >= L'A' && c <= L'F') {
            c = static_cast<wchar_t>(c - L'A' + L'a');
        }
        const std::size_t digit = digits.find(c);
        if (digit == std::wstring::npos) {
            return std::nullopt;
        }
        mask = mask * 16 + digit;
    }
    return mask;
}

// The process id a parent text names: 1 to 10 decimal digits within 32 bits, else 0.
inline std::uint32_t ModelProcessId(const std::wstring& t) {
    const bool digits =
        !t.empty() && t.size() <= 10 && t.find_first_not_of(L"0123456789") == t.npos;
    const unsigned long long id = digits ? std::stoull(std::string(t.begin(), t.end())) : 0;
    return id <= UINT32_MAX ? static_cast<std::uint32_t>(id) : 0;
}

// Position just past the first ".exe" in any case, or 0 when there is none.
inline std::size_t EndOfFirstExe(const std::wstring& text) {
    for (std::size_t i = 0; i + 4 <= text.size(); ++i) {
        if (text[i] == L'.' && IsLetter(text[i + 1], 'e') && IsLetter(text[i + 2], 'x') &&
            IsLetter(text[i + 3], 'e')) {
            return i + 4;
        }
    }
    return 0;
}

// The creation flag each selector stands for, from the Windows priority-class values.
inline std::optional<std::uint32_t> ModelPriorityClass(std::int32_t selector) {
    switch (selector) {
        case 1:
            return 0x00000040;  // IDLE_PRIORITY_CLASS
        case 2:
            return 0x00004000;  // BELOW_NORMAL_PRIORITY_CLASS
        case 3:
            return 0x00000020;  // NORMAL_PRIORITY_CLASS
        case 4:
            return 0x00008000;  // ABOVE_NORMAL_PRIORITY_CLASS
        case 5:
            return 0x00000080;  // HIGH_PRIORITY_CLASS
        case 6:
            return 0x00000100;  // REALTIME_PRIORITY_CLASS
        default:
            return std::nullopt;
    }
}

}  // namespace vantrel_fuzz
