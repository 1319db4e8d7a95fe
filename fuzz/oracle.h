// What the fuzz targets check the product against: how the C runtime splits a command line, as
// Microsoft documents it, written character by character and apart from the product's lexer, and
// independent readings of the numbers and of the priority table.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
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

// One argument as a C runtime splits it from a command line: its text, where it was typed in the
// line, and whether a double quote stood in it.
struct SplitArgument {
    std::wstring text;
    std::size_t begin = 0, end = 0;
    bool quoted = false;
};

// Splits line[from, to) as Microsoft documents it for C programs, one character at a time: blanks
// outside quotes separate. By the argument rule backslashes are counted up to the next other
// character: before a quote each pair gives one and an odd one left makes the quote literal;
// before anything else all stand. By the name rule every backslash stands and every quote groups.
inline std::vector<SplitArgument> SplitLikeRuntime(const std::wstring& line, std::size_t from,
                                                   std::size_t to, bool nameRule) {
    std::vector<SplitArgument> split;
    bool open = false, inQuotes = false;  // within an argument; within its quotes
    std::size_t backslashes = 0;
    for (std::size_t i = from; i <= to; ++i) {
        const wchar_t c = i < to ? line[i] : L' ';  // the end separates too
        if ((c == L' ' || c == L'\t') && (!inQuotes || i == to)) {
            if (open) {
                split.back().text.append(backslashes, L'\\');
            }
            open = false;
            backslashes = 0;
            continue;
        }
        split.resize(split.size() + (open ? 0 : 1), SplitArgument{L"", i, i, false});
        open = true;
        split.back().end = i + 1;
        if (c == L'\\' && !nameRule) {
            ++backslashes;
            continue;
        }
        const bool quote = c == L'"', literal = quote && backslashes % 2 == 1;
        split.back().text.append(quote ? backslashes / 2 : backslashes, L'\\');
        split.back().text += !quote || literal ? std::wstring(1, c) : L"";
        split.back().quoted = split.back().quoted || quote;
        inQuotes = inQuotes != (quote && !literal);
        backslashes = 0;
    }
    return split;
}

// The name of the switch an argument is ("/w", "/p:", "/parent:"), or nothing: a switch has no
// quote in it but for "/log:", and only "/w" and "/p:" count once the path has begun.
inline std::wstring SwitchName(const SplitArgument& argument, bool beforePath) {
    static const wchar_t* const kNames[] = {
        L"/w",       L"/p:",    L"/t",      L"/e",        L"/r",      L"/bg", L"/a:",
        L"/parent:", L"/time:", L"/grace:", L"/cpu:",     L"/mem:",   L"/?",  L"-?",
        L"/h",       L"-h",     L"--help",  L"--version", L"/version"};
    std::wstring lowered = argument.text;
    for (wchar_t& c : lowered) {
        c = c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c;
    }
    if (beforePath && lowered.rfind(L"/log:", 0) == 0) {
        return L"/log:";
    }
    for (std::size_t i = 0; i < std::size(kNames) && !argument.quoted && (beforePath || i < 2);
         ++i) {
        const std::wstring name = kNames[i];
        if (name.back() == L':' ? lowered.rfind(name, 0) == 0 : lowered == name) {
            return name;
        }
    }
    return {};
}

// The line split by region: before the path and the path by the name rule, the rest by the
// argument rule. The path's last argument is whole, running on past the path's end where it does.
struct SplitLine {
    std::vector<SplitArgument> before, path, after;
    std::size_t pathEnd = 0;

    // The switch an argument of a region is, or nothing: the rest of the path's own word, which
    // the program gets, never is one.
    std::wstring SwitchOf(const std::vector<SplitArgument>& region,
                          const SplitArgument& argument) const {
        const bool glued = &region == &after && argument.begin == pathEnd && !path.empty() &&
                           path.back().end > pathEnd;
        return glued ? std::wstring() : SwitchName(argument, &region == &before);
    }
};

inline SplitLine SplitAround(const std::wstring& line, std::size_t pathBegin, std::size_t pathEnd) {
    SplitLine split{SplitLikeRuntime(line, 0, pathBegin, true),
                    SplitLikeRuntime(line, pathBegin, line.size(), true),
                    SplitLikeRuntime(line, pathEnd, line.size(), false), pathEnd};
    while (!split.path.empty() && split.path.back().begin >= pathEnd) {
        split.path.pop_back();
    }
    return split;
}

// Whether a path may end at `end` inside a quoted stretch: one never closed, or one whose closing
// quote, after blanks and dots alone, goes on into a word (forgotten before a quoted argument).
inline bool MayEndInQuotes(const std::wstring& line, std::size_t end) {
    const std::size_t close = line.find(L'"', end);
    if (close == std::wstring::npos) {
        return true;
    }
    const bool endsWord =
        close + 1 == line.size() || line[close + 1] == L' ' || line[close + 1] == L'\t';
    return !endsWord && line.substr(end, close - end).find_first_not_of(L" \t.") == line.npos;
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
