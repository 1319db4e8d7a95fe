// Splits a command line into tokens by the rules every Windows program splits its own with.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace modVantrel {

// How a token's quotes and backslashes read. A program's name takes every backslash as it stands
// (a path is full of them). Its arguments take a run of 2n backslashes before a quote as n and the
// quote as grouping, 2n+1 as n and a literal quote; other backslashes stand as they are.
enum class QuoteRule { kName, kArgument };

struct Token {
    std::size_t begin = 0;  // its raw span in the line
    std::size_t end = 0;
    std::wstring text;    // with the grouping quotes taken out
    bool quoted = false;  // a double quote stands in it, so it is never one of Vantrel's switches
};

inline bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

// The first token at or after `from`, the blanks before it skipped; none at the line's end. Outside
// quotes a blank ends it; each grouping quote opens or closes a quoted stretch.
std::optional<Token> NextToken(std::wstring_view line, std::size_t from, QuoteRule rule);

}  // namespace modVantrel
