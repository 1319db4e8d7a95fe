#include "command/command_line_reader.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "command/command_lexer.h"
#include "command/text.h"

namespace modVantrel {
namespace {

constexpr std::wstring_view kExe = L".exe";

// The processors that an "/a:" text names by their class, in any case. Both names hold letters
// that are no hexadecimal digits, so that no mask's text is one.
Cores CoresNamed(std::wstring_view text) {
    if (EqualsIgnoringCase(text, L"ecores")) {
        return Cores::Efficiency;
    }
    return EqualsIgnoringCase(text, L"pcores") ? Cores::Performance : Cores::None;
}

// The words that ask for the help, as other tools take them.
constexpr std::wstring_view kHelpWords[] = {L"/?", L"-?", L"/h", L"-h", L"--help"};

bool IsHelpWord(std::wstring_view text) {
    return std::any_of(std::begin(kHelpWords), std::end(kHelpWords),
                       [text](std::wstring_view word) { return EqualsIgnoringCase(text, word); });
}

// The options that stand before the program path: true when the text was one.
bool ClassifyOption(std::wstring_view text, CommandLineRequest& request) {
    if (IsHelpWord(text)) {
        request.help = true;
    } else if (EqualsIgnoringCase(text, L"--version") || EqualsIgnoringCase(text, L"/version")) {
        request.version = true;
    } else if (EqualsIgnoringCase(text, L"/t")) {
        request.tree = true;
    } else if (EqualsIgnoringCase(text, L"/e")) {
        request.efficiency = true;
    } else if (EqualsIgnoringCase(text, L"/r")) {
        request.report = true;
    } else if (EqualsIgnoringCase(text, L"/bg")) {
        request.background = true;
    } else if (StartsWithIgnoringCase(text, L"/a:")) {
        request.cores = CoresNamed(text.substr(3));
        request.affinity = request.cores == Cores::None ? ReadAffinityMask(text.substr(3)) : 0;
    } else if (StartsWithIgnoringCase(text, L"/parent:")) {
        request.restart = ReadParentMark(text.substr(8));
        request.parent = request.restart ? request.restart->id : ReadProcessId(text.substr(8));
    } else if (StartsWithIgnoringCase(text, L"/time:")) {
        request.timeLimit = ReadTimeLimit(text.substr(6));
    } else if (StartsWithIgnoringCase(text, L"/grace:")) {
        request.gracePeriod = ReadGracePeriod(text.substr(7));
    } else if (StartsWithIgnoringCase(text, L"/cpu:")) {
        request.cpuLimit = ReadCpuLimit(text.substr(5));
    } else if (StartsWithIgnoringCase(text, L"/mem:")) {
        request.memoryLimit = ReadMemoryLimit(text.substr(5));
    } else {
        return false;
    }
    return true;
}

// Vantrel's switches, whole tokens with no quote in them: "/w" and "/p:" wherever they stand, the
// options before the path only. True when the token was one.
bool ClassifySwitch(const Token& token, CommandLineRequest& request, bool beforePath) {
    const std::wstring_view text = token.text;
    if (beforePath && StartsWithIgnoringCase(text, L"/log:")) {
        request.log = text.substr(5);  // a name with blanks in it comes quoted
        return true;
    }
    if (token.quoted) {
        return false;
    }
    if (EqualsIgnoringCase(text, L"/w")) {
        request.wait = true;
    } else if (StartsWithIgnoringCase(text, L"/p:")) {
        request.selector = ReadPriorityNumber(text.substr(3));
    } else {
        return beforePath && ClassifyOption(text, request);
    }
    return true;
}

bool EndsWithExe(std::wstring_view text) {
    return text.size() >= kExe.size() &&
           EqualsIgnoringCase(text.substr(text.size() - kExe.size()), kExe);
}

// Where a switch token is taken out with the one blank after it.
std::size_t PastSwitch(std::wstring_view line, const Token& token) {
    return token.end < line.size() && IsBlank(line[token.end]) ? token.end + 1 : token.end;
}

// Reads one line: the options, then the path, then the program's arguments.
class Reader {
  public:
    explicit Reader(std::wstring_view line) : line_(line) {
        request_.pathBegin = request_.pathEnd = line.size();
    }

    CommandLineRequest Read() {
        std::optional<Token> token = NextToken(line_, 0, QuoteRule::kName);
        // An empty token names nothing, so options still count after it.
        while (token && (ClassifySwitch(*token, request_, true) || token->text.empty())) {
            token = NextToken(line_, token->end, QuoteRule::kName);
        }
        if (token && ReadPath(*token)) {
            ReadArguments();
        }
        return std::move(request_);
    }

  private:
    // Joins the path's tokens with the blanks typed between them until a ".exe" ends it.
    bool ReadPath(Token token) {
        request_.pathBegin = token.begin;
        std::wstring& path = request_.path;
        std::size_t copyFrom = token.begin;
        for (std::optional<Token> next = std::move(token); next;
             next = NextToken(line_, next->end, QuoteRule::kName)) {
            path.append(line_.substr(copyFrom, next->begin - copyFrom));
            if (ClassifySwitch(*next, request_, false)) {
                copyFrom = PastSwitch(line_, *next);
                continue;
            }
            copyFrom = next->end;
            if (EndsPathIn(*next)) {
                return true;
            }
        }
        path.clear();
        return false;
    }

    // Adds the token's text to the path, its quotes taken out, up to a ".exe" that ends the path,
    // if one does: true then. Quotes group a name, so only an unquoted ".exe" ends it at once.
    bool EndsPathIn(const Token& token) {
        std::wstring& path = request_.path;
        bool inQuotes = false;
        std::size_t close = 0;  // of the open stretch; npos when it is never closed
        for (std::size_t at = token.begin; at < token.end; ++at) {
            if (line_[at] == L'"') {
                inQuotes = !inQuotes;
                close = line_.find(L'"', at + 1);
                continue;
            }
            path += line_[at];
            if (!EndsWithExe(path)) {
                continue;
            }
            if (!inQuotes) {
                request_.pathEnd = at + 1;
                return true;
            }
            if (close == std::wstring_view::npos) {
                return EndsAtLastWordExe(at + 1);
            }
            if (EndsQuotedAt(at + 1, close)) {
                return true;
            }
        }
        return false;
    }

    // A ".exe" just before `from` in a stretch that `close` closes ends the path where the stretch
    // ends with it, and where all that stands between is blanks and dots (which the file system
    // drops from a name) and the quote ends the word: the closing quote is then the path's own.
    // Before a quote that goes on into a word, those blanks are a closing quote forgotten before a
    // quoted argument, which begins after the ".exe". Any other text goes on with the name.
    bool EndsQuotedAt(std::size_t from, std::size_t close) {
        const std::wstring_view rest = line_.substr(from, close - from);
        if (rest.find_first_not_of(L" \t.") != std::wstring_view::npos) {
            return false;
        }
        const bool endsWord = close + 1 == line_.size() || IsBlank(line_[close + 1]);
        request_.pathEnd = from;
        if (rest.empty() || endsWord) {
            request_.path += rest;
            request_.pathEnd = close + 1;
        }
        return true;
    }

    // A ".exe" just before `from` in a quote never closed: the path runs to the last ".exe" that
    // ends a word, this one included; without one there is no path.
    bool EndsAtLastWordExe(std::size_t from) {
        const std::wstring_view rest = line_.substr(from);
        for (std::size_t end = rest.size();; --end) {
            if ((end == rest.size() || IsBlank(rest[end])) &&
                (end == 0 || EndsWithExe(rest.substr(0, end)))) {
                request_.path += rest.substr(0, end);
                request_.pathEnd = from + end;
                return true;
            }
            if (end == 0) {
                return false;
            }
        }
    }

    // The rest of the line as typed, less the switches among it and the blanks outside quotes at
    // either end, which separate nothing. What follows the path in its own word is no switch.
    void ReadArguments() {
        std::wstring& arguments = request_.arguments;
        std::size_t copyFrom = request_.pathEnd;
        std::optional<std::size_t> begin;  // of the first argument in `arguments`
        std::size_t end = 0;               // of the last
        for (std::optional<Token> token = NextToken(line_, copyFrom, QuoteRule::kArgument); token;
             token = NextToken(line_, token->end, QuoteRule::kArgument)) {
            if (token->begin != request_.pathEnd && ClassifySwitch(*token, request_, false)) {
                arguments.append(line_.substr(copyFrom, token->begin - copyFrom));
                copyFrom = PastSwitch(line_, *token);
                continue;
            }
            // Where the token will stand once the text up to it is copied.
            begin = begin.value_or(arguments.size() + (token->begin - copyFrom));
            end = arguments.size() + (token->end - copyFrom);
        }
        arguments.append(line_.substr(copyFrom));
        arguments = arguments.substr(begin.value_or(0), end - begin.value_or(0));
    }

    std::wstring_view line_;
    CommandLineRequest request_;
};

}  // namespace

CommandLineRequest ParseCommandLine(std::wstring_view line) {
    return Reader(line).Read();
}

}  // namespace modVantrel
