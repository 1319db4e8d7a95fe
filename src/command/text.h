// Small text helpers shared by the reader, the start-up flow and the launcher.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace modVantrel {

// The decimal digits of a number; by hand, since std::to_wstring would bring a formatted-print
// runtime of some 25 KB into the MinGW build.
inline std::wstring Decimal(std::uint64_t value) {
    std::wstring digits;
    do {
        digits.insert(digits.begin(), static_cast<wchar_t>(L'0' + value % 10));
        value /= 10;
    } while (value != 0);
    return digits;
}

inline wchar_t AsciiLower(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? c - L'A' + L'a' : c;
}

// Compares `text` with a lower-case ASCII `pattern`, ignoring the case of ASCII letters in `text`:
// switches and the ".exe" marker are recognised in any case while the text itself keeps its case.
inline bool EqualsIgnoringCase(std::wstring_view text, std::wstring_view pattern) {
    if (text.size() != pattern.size()) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (AsciiLower(text[i]) != pattern[i]) {
            return false;
        }
    }
    return true;
}

inline bool StartsWithIgnoringCase(std::wstring_view text, std::wstring_view pattern) {
    return text.size() >= pattern.size() &&
           EqualsIgnoringCase(text.substr(0, pattern.size()), pattern);
}

// Position of the first occurrence of a lower-case ASCII `pattern`, in any case, or npos.
inline std::size_t FindIgnoringCase(std::wstring_view text, std::wstring_view pattern) {
    if (pattern.size() > text.size()) {
        return std::wstring_view::npos;
    }
    for (std::size_t at = 0; at + pattern.size() <= text.size(); ++at) {
        if (EqualsIgnoringCase(text.substr(at, pattern.size()), pattern)) {
            return at;
        }
    }
    return std::wstring_view::npos;
}

}  // namespace modVantrel
