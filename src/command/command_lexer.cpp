#include "command/command_lexer.h"

namespace modVantrel {

std::optional<Token> NextToken(std::wstring_view line, std::size_t from, QuoteRule rule) {
    while (from < line.size() && IsBlank(line[from])) {
        ++from;
    }
    if (from == line.size()) {
        return std::nullopt;
    }
    Token token;
    token.begin = from;
    bool inQuotes = false;
    std::size_t at = from;
    while (at < line.size() && (inQuotes || !IsBlank(line[at]))) {
        const wchar_t c = line[at];
        if (c == L'\\' && rule == QuoteRule::kArgument) {
            const std::size_t run = line.find_first_not_of(L'\\', at);
            const std::size_t count = (run == std::wstring_view::npos ? line.size() : run) - at;
            const bool beforeQuote = run != std::wstring_view::npos && line[run] == L'"';
            token.text.append(beforeQuote ? count / 2 : count, L'\\');
            at += count;
            if (beforeQuote && count % 2 == 1) {
                token.text += L'"';
                token.quoted = true;
                ++at;
            }
            continue;  // an even run leaves its quote to group
        }
        if (c == L'"') {
            inQuotes = !inQuotes;
            token.quoted = true;
        } else {
            token.text += c;
        }
        ++at;
    }
    token.end = at;
    return token;
}

}  // namespace modVantrel
