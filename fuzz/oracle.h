// An independent model of how Vantrel reads its command line, for the fuzz targets to check the
// product against. It walks the text character by character and folds case on its own, so that a
// fault in the product's tokenising or in its text helpers shows up as a difference.
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

struct ModelToken {
    std::size_t offset;  // of its first character in the text
    std::wstring text;
    bool isSwitch;  // "/w", "/p:...", or an option before the path, which the reader consumes
};

struct ModelRequest {
    bool wait = false;
    std::optional<std::wstring> priorityText;  // after "/p:" in the last such token
    std::wstring collected;
    std::size_t pathEnd = 0;  // just past the path's ".exe" in collected; 0 without one
    std::vector<ModelToken> tokens;
    bool tree = false;
    bool efficiency = false;
    bool report = false;
    bool background = false;
    std::optional<std::wstring> affinityText;  // after "/a:" in the last such token
    std::optional<std::wstring> parentText;    // after "/parent:" in the last such token
    bool limited = false;                      // a "/time:", "/cpu:" or "/mem:" token was taken
};

// Whether a token names a limit: "/time:", "/cpu:" or "/mem:" in any case.
inline bool IsLimit(const std::wstring& t) {
    std::wstring head;
    for (const wchar_t c : t.substr(0, t.find(L':') + 1)) {
        head += c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c;
    }
    return head == L"/time:" || head == L"/cpu:" || head == L"/mem:";
}

inline bool OnlySpaces(const std::wstring& text) {
    return text.find_first_not_of(L' ') == std::wstring::npos;
}

inline std::size_t EndOfFirstExe(const std::wstring& text);

inline ModelRequest ModelParse(const std::wstring& text) {
    ModelRequest model;
    if (text.empty()) {
        return model;
    }
    std::vector<ModelToken> tokens(1, ModelToken{0, {}, false});
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L' ') {
            tokens.push_back(ModelToken{i + 1, {}, false});
        } else {
            tokens.back().text.push_back(text[i]);
        }
    }
    // The path ends after the first token that leaves ".exe" collected with no quote open, or
    // before a quoted token once ".exe" is collected. After it the text is kept as typed, and a
    // quote not after an odd run of backslashes opens or closes a stretch where switches are text.
    bool open = false, afterPath = false, quoted = false;
    const auto scan = [&quoted](const std::wstring& piece, std::size_t from) {
        for (std::size_t i = from, backslashes = 0; i < piece.size(); ++i) {
            quoted = quoted != (piece[i] == L'"' && backslashes % 2 == 0);
            backslashes = piece[i] == L'\\' ? backslashes + 1 : 0;
        }
    };
    // A token opening a quote drops the blanks collected before it. The first quote after the
    // path's opening one ends the path if the text up to it ends with ".exe"; the rest begins the
    // arguments.
    const auto endsQuotedPath = [&](const ModelToken& token) {
        const std::wstring& t = token.text;
        const std::size_t from = !t.empty() && t[0] == L'"' ? 1 : 0;
        model.collected = from == 1 && OnlySpaces(model.collected) ? L"" : model.collected;
        const std::size_t close = open || from == 1 ? t.find(L'"', from) : std::wstring::npos;
        const std::wstring head = model.collected + t.substr(from, close - from);
        if (close == std::wstring::npos ||
            EndOfFirstExe(head.substr(head.size() - std::min<std::size_t>(head.size(), 4))) == 0) {
            return false;
        }
        const std::wstring rest = t.substr(close + 1);
        const std::wstring after = token.offset + t.size() < text.size() ? L" " : L"";
        model.collected = rest.empty() ? head : head + L" " + rest + after;
        model.pathEnd = head.size();
        scan(rest, 0);
        open = false;
        return afterPath = true;
    };
    for (ModelToken& token : tokens) {
        const std::wstring& t = token.text;
        const std::size_t n = t.size();
        afterPath = afterPath || (n >= 2 && t[0] == L'"' && EndOfFirstExe(model.collected) != 0);
        if (!quoted && n == 2 && t[0] == L'/' && IsLetter(t[1], 'w')) {
            model.wait = true;
            token.isSwitch = true;
        } else if (!quoted && n >= 3 && t[0] == L'/' && IsLetter(t[1], 'p') && t[2] == L':') {
            model.priorityText = t.substr(3);
            token.isSwitch = true;
        } else if (afterPath) {
            const std::wstring piece = t + (token.offset + n < text.size() ? L" " : L"");
            if (!piece.empty() && !model.collected.empty() && model.collected.back() != L' ') {
                model.collected += L' ';
            }
            scan(piece, 0);
            model.collected += piece;
        } else if (OnlySpaces(model.collected) && n == 2 && t[0] == L'/' && IsLetter(t[1], 't')) {
            model.tree = true;
            token.isSwitch = true;
        } else if (OnlySpaces(model.collected) && n == 2 && t[0] == L'/' && IsLetter(t[1], 'e')) {
            model.efficiency = true;
            token.isSwitch = true;
        } else if (OnlySpaces(model.collected) && n == 2 && t[0] == L'/' && IsLetter(t[1], 'r')) {
            model.report = true;
            token.isSwitch = true;
        } else if (OnlySpaces(model.collected) && n == 3 && t[0] == L'/' && IsLetter(t[1], 'b') &&
                   IsLetter(t[2], 'g')) {
            model.background = true;
            token.isSwitch = true;
        } else if (OnlySpaces(model.collected) && n >= 3 && t[0] == L'/' && IsLetter(t[1], 'a') &&
                   t[2] == L':') {
            model.affinityText = t.substr(3);
            token.isSwitch = true;
        } else if (OnlySpaces(model.collected) && n >= 8 && t[0] == L'/' && IsLetter(t[1], 'p') &&
                   IsLetter(t[2], 'a') && IsLetter(t[3], 'r') && IsLetter(t[4], 'e') &&
                   IsLetter(t[5], 'n') && IsLetter(t[6], 't') && t[7] == L':') {
            model.parentText = t.substr(8);
            token.isSwitch = true;
        } else if (OnlySpaces(model.collected) && IsLimit(t)) {
            model.limited = true;
            token.isSwitch = true;
        } else if (n == 1 && t[0] == L'"') {
            // A lone quote adds nothing.
        } else if (endsQuotedPath(token)) {
            // The path is exactly the quoted text.
        } else if (n >= 2 && t[0] == L'"' && t[n - 1] == L'"') {
            model.collected += t.substr(1, n - 2);
            open = false;
        } else if (n >= 1 && t[0] == L'"') {
            model.collected += t.substr(1) + L" ";
            open = true;
        } else if (n >= 1 && t[n - 1] == L'"') {
            model.collected += t.substr(0, n - 1);
            open = false;
        } else {
            model.collected += t + L" ";
            if (!open && EndOfFirstExe(t) != 0) {
                scan(t, EndOfFirstExe(t));  // the path ends here; what follows ".exe" is typed
            }
        }
        afterPath = afterPath || (!open && EndOfFirstExe(model.collected) != 0);
    }
    model.pathEnd = model.pathEnd != 0 ? model.pathEnd : EndOfFirstExe(model.collected);
    model.tokens = std::move(tokens);
    return model;
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

// 1 for "ecores", 2 for "pcores" in any case; 0 for any other affinity text, a mask's.
inline int ModelCoreName(std::wstring lower) {
    std::transform(lower.begin(), lower.end(), lower.begin(), [](wchar_t c) {
        return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c;
    });
    return lower == L"ecores" ? 1 : lower == L"pcores" ? 2 : 0;
}

// The process id a parent text names: 1 to 10 decimal digits within 32 bits, else 0.
inline std::uint32_t ModelProcessId(const std::wstring& t) {
    const bool digits =
        !t.empty() && t.size() <= 10 && t.find_first_not_of(L"0123456789") == t.npos;
    const unsigned long long id = digits ? std::stoull(std::string(t.begin(), t.end())) : 0;
    return id <= UINT32_MAX ? static_cast<std::uint32_t>(id) : 0;
}

inline std::wstring TrimBlanks(const std::wstring& text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && text[first] == L' ') {
        ++first;
    }
    while (last > first && text[last - 1] == L' ') {
        --last;
    }
    return text.substr(first, last - first);
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
