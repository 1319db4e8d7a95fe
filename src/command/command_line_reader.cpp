#include "command/command_line_reader.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <utility>

#include "command/text.h"

namespace modVantrel {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int DigitValue(char c, int radix) {
    int value = radix;
    if (c >= '0' && c <= '9') {
        value = c - '0';
    } else if (c >= 'a' && c <= 'f') {
        value = c - 'a' + 10;
    }
    return value < radix ? value : -1;
}

// The number's characters, lower-cased, without the blanks that may stand anywhere in it. Reading
// stops at the first character outside ASCII, since no number continues past one.
std::string CompactAscii(std::wstring_view text) {
    std::string compact;
    for (const wchar_t c : text) {
        if (c == L' ' || c == L'\t' || c == L'\n') {
            continue;
        }
        if (c > 0x7F) {
            break;
        }
        compact += static_cast<char>(AsciiLower(c));
    }
    return compact;
}

// A number that is 1 to `maxDigits` digits of `radix`, in any case, and nothing else; 0 for any
// other text. Look-alike digits outside ASCII are not digits.
std::uint64_t ReadWholeNumber(std::wstring_view text, int radix, std::size_t maxDigits) {
    if (text.size() > maxDigits) {
        return 0;
    }
    std::uint64_t value = 0;
    for (const wchar_t c : text) {
        const int digit = c > 0x7F ? -1 : DigitValue(static_cast<char>(AsciiLower(c)), radix);
        if (digit < 0) {
            return 0;
        }
        value = value * static_cast<std::uint64_t>(radix) + static_cast<std::uint64_t>(digit);
    }
    return value;
}

// An "&h" or "&o" number: digits of the radix up to the first other character.
double ReadRadixNumber(const std::string& digits, int radix) {
    double value = 0;
    for (const char c : digits) {
        const int digit = DigitValue(c, radix);
        if (digit < 0) {
            break;
        }
        value = value * radix + digit;
    }
    return value;
}

// The longest leading decimal number: sign, digits with at most one point, optional exponent.
double ReadDecimalNumber(const std::string& text) {
    std::size_t end = 0;
    if (end < text.size() && (text[end] == '+' || text[end] == '-')) {
        ++end;
    }
    std::size_t digits = 0;
    bool point = false;
    for (; end < text.size(); ++end) {
        if (IsDigit(text[end])) {
            ++digits;
        } else if (text[end] == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0) {
        return 0;
    }
    if (end < text.size() && text[end] == 'e') {
        std::size_t exponent = end + 1;
        if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-')) {
            ++exponent;
        }
        if (exponent < text.size() && IsDigit(text[exponent])) {
            while (exponent < text.size() && IsDigit(text[exponent])) {
                ++exponent;
            }
            end = exponent;
        }
    }
    // Only digits, sign, point and exponent reach the conversion, and the program never changes
    // the C locale, so the point is always '.'. Overflow yields HUGE_VAL, which is pinned below.
    // atof is strtod without an end pointer; MinGW takes it from the system's C runtime where
    // strtod would link a private copy of some 45 KB.
    // NOLINTNEXTLINE(cert-err34-c): the text is a well-formed number, so there is no error to miss.
    return std::atof(text.substr(0, end).c_str());
}

double RoundHalfToEven(double value) {
    const double floor = std::floor(value);
    const double fraction = value - floor;
    if (fraction > 0.5) {
        return floor + 1;
    }
    if (fraction < 0.5) {
        return floor;
    }
    return std::fmod(floor, 2) == 0 ? floor : floor + 1;
}

std::int32_t PinTo32Bits(double value) {
    constexpr double kMax = std::numeric_limits<std::int32_t>::max();
    constexpr double kMin = std::numeric_limits<std::int32_t>::min();
    if (value > kMax) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (value < kMin) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(value);
}

// The processors that an "/a:" text names by their class, in any case. Both names hold letters
// that are no hexadecimal digits, so that no mask's text is one.
Cores CoresNamed(std::wstring_view text) {
    if (EqualsIgnoringCase(text, L"ecores")) {
        return Cores::Efficiency;
    }
    return EqualsIgnoringCase(text, L"pcores") ? Cores::Performance : Cores::None;
}

// The options that stand before the program path: true when the token was one.
bool ClassifyOption(std::wstring_view token, CommandLineRequest& request) {
    if (EqualsIgnoringCase(token, L"/t")) {
        request.tree = true;
    } else if (EqualsIgnoringCase(token, L"/e")) {
        request.efficiency = true;
    } else if (EqualsIgnoringCase(token, L"/r")) {
        request.report = true;
    } else if (EqualsIgnoringCase(token, L"/bg")) {
        request.background = true;
    } else if (StartsWithIgnoringCase(token, L"/a:")) {
        request.cores = CoresNamed(token.substr(3));
        request.affinity = request.cores == Cores::None ? ReadAffinityMask(token.substr(3)) : 0;
    } else if (StartsWithIgnoringCase(token, L"/parent:")) {
        request.parent = ReadProcessId(token.substr(8));
    } else if (StartsWithIgnoringCase(token, L"/time:")) {
        request.timeLimit = ReadTimeLimit(token.substr(6));
    } else if (StartsWithIgnoringCase(token, L"/cpu:")) {
        request.cpuLimit = ReadCpuLimit(token.substr(5));
    } else if (StartsWithIgnoringCase(token, L"/mem:")) {
        request.memoryLimit = ReadMemoryLimit(token.substr(5));
    } else {
        return false;
    }
    return true;
}

// "/w" and "/p:", which Vantrel takes wherever they stand outside quotes: true when the token
// was one.
bool ClassifySwitch(std::wstring_view token, CommandLineRequest& request) {
    if (EqualsIgnoringCase(token, L"/w")) {
        request.wait = true;
    } else if (StartsWithIgnoringCase(token, L"/p:")) {
        request.selector = ReadPriorityNumber(token.substr(3));
    } else {
        return false;
    }
    return true;
}

constexpr std::wstring_view kExe = L".exe";

bool HoldsExe(std::wstring_view text) {
    return FindIgnoringCase(text, kExe) != std::wstring_view::npos;
}

// Whether the token opens or closes a quoted stretch of the arguments: a quote counts unless an
// odd number of backslashes stands before it, the rule by which programs split their arguments.
bool TogglesQuotes(std::wstring_view token) {
    bool toggles = false;
    std::size_t backslashes = 0;
    for (const wchar_t c : token) {
        if (c == L'"' && backslashes % 2 == 0) {
            toggles = !toggles;
        }
        backslashes = c == L'\\' ? backslashes + 1 : 0;
    }
    return toggles;
}

// Walks the tokens: up to the end of the program path by the path's own quote rules, then keeping
// the program's arguments as typed, less the switches that Vantrel takes.
class Reader {
  public:
    // One token, and the piece of the line it stands for: the token with the space after it.
    void Read(std::wstring_view token, std::wstring_view piece) {
        if (pathComplete_) {
            ReadArgument(token, piece);
        } else {
            ReadPath(token, piece);
        }
    }

    // The request, its path's end found: where a closing quote ended it, else past the first
    // ".exe" (a path whose closing quote is missing included).
    CommandLineRequest Finish() {
        if (request.pathEnd == 0) {
            const std::size_t exeAt = FindIgnoringCase(request.collected, kExe);
            request.pathEnd = exeAt == std::wstring_view::npos ? 0 : exeAt + kExe.size();
        }
        return std::move(request);
    }

    CommandLineRequest request;

  private:
    void ReadPath(std::wstring_view token, std::wstring_view piece) {
        std::wstring& collected = request.collected;
        if (ClassifySwitch(token, request)) {
            return;
        }
        // Once anything but spaces is collected, the program path has begun: from there on these
        // tokens are the program's own arguments.
        const bool nothingCollected = TrimSpaces(collected).empty();
        if (nothingCollected && ClassifyOption(token, request)) {
            return;
        }
        const bool opens = !token.empty() && token.front() == L'"';
        if (opens && token.size() == 1) {
            return;  // a lone quote opens and closes nothing
        }
        if (opens && HoldsExe(collected)) {
            // The path's closing quote was forgotten: a quoted token after a path never
            // replaces it, it is the program's first argument.
            pathComplete_ = true;
            ReadArgument(token, piece);
            return;
        }
        // Only a quote that opens the line's first text starts the path afresh: text already
        // collected, ".exe" or not, is never dropped for a quoted token, which continues it.
        std::wstring_view text = token;
        if (opens) {
            if (nothingCollected) {
                collected.clear();
            }
            text.remove_prefix(1);
            quoteOpen_ = true;
        }
        if (quoteOpen_ && ClosesQuotedPath(text, piece.substr(token.size() - text.size()))) {
            return;
        }
        if (!text.empty() && text.back() == L'"') {
            collected.append(text.substr(0, text.size() - 1));
            quoteOpen_ = false;
        } else {
            collected.append(text);
            collected += L' ';
            // A path that ends in this token leaves the quotes after its ".exe" to the program.
            const std::size_t exeAt = FindIgnoringCase(text, kExe);
            inQuotes_ = !quoteOpen_ && exeAt != std::wstring_view::npos &&
                        TogglesQuotes(text.substr(exeAt + kExe.size()));
        }
        pathComplete_ = !quoteOpen_ && HoldsExe(collected);
    }

    // The first quote in `text` closes the quoted path; when the quoted text ends with ".exe",
    // the path is exactly that text, even with an ".exe" inside it, and the quote is the path's
    // own: what follows it in the token begins the arguments, outside any quotes of theirs.
    bool ClosesQuotedPath(std::wstring_view text, std::wstring_view piece) {
        const std::size_t close = text.find(L'"');
        if (close == std::wstring_view::npos) {
            return false;
        }
        std::wstring& collected = request.collected;
        const std::size_t before = collected.size();
        collected.append(text.substr(0, close));
        if (collected.size() < kExe.size() ||
            !EqualsIgnoringCase(std::wstring_view(collected).substr(collected.size() - kExe.size()),
                                kExe)) {
            collected.resize(before);
            return false;
        }
        quoteOpen_ = false;
        pathComplete_ = true;
        request.pathEnd = collected.size();
        const std::wstring_view rest = text.substr(close + 1);
        if (!rest.empty()) {
            collected += L' ';
            collected.append(piece.substr(close + 1));
            inQuotes_ = TogglesQuotes(rest);
        }
        return true;
    }

    void ReadArgument(std::wstring_view token, std::wstring_view piece) {
        if (!inQuotes_ && ClassifySwitch(token, request)) {
            return;  // taken with the one space after it
        }
        std::wstring& collected = request.collected;
        if (!piece.empty() && !collected.empty() && collected.back() != L' ') {
            collected += L' ';  // the path ended at a closing quote
        }
        collected.append(piece);
        inQuotes_ = inQuotes_ != TogglesQuotes(token);
    }

    bool quoteOpen_ = false;     // a token of the path opened a quote that none has closed
    bool pathComplete_ = false;  // the collected text holds the whole program path
    bool inQuotes_ = false;      // within a quoted stretch of the arguments
};

// The unit that ends a limit's text, looked up in `units` ("smh": seconds, minutes, hours), with
// its multiplier from `factors`; the digits before it are the count. 0 when the text is not that.
std::uint64_t ReadCountWithUnit(std::wstring_view text, std::wstring_view units,
                                const std::uint64_t* factors) {
    if (text.empty()) {
        return 0;
    }
    const std::size_t unit = units.find(AsciiLower(text.back()));
    if (unit == std::wstring_view::npos) {
        return 0;
    }
    return ReadWholeNumber(text.substr(0, text.size() - 1), 10, 10) * factors[unit];
}

}  // namespace

std::int32_t ReadPriorityNumber(std::wstring_view text) {
    const std::string compact = CompactAscii(text);
    double value = 0;
    if (compact.size() >= 2 && compact[0] == '&' && (compact[1] == 'h' || compact[1] == 'o')) {
        value = ReadRadixNumber(compact.substr(2), compact[1] == 'h' ? 16 : 8);
    } else {
        value = ReadDecimalNumber(compact);
    }
    // Bound the value first so that infinities and huge values never reach the rounding.
    constexpr double kBound = 4294967296.0;
    return PinTo32Bits(RoundHalfToEven(std::clamp(value, -kBound, kBound)));
}

std::uint64_t ReadAffinityMask(std::wstring_view text) {
    return ReadWholeNumber(text, 16, 16);
}

std::uint32_t ReadProcessId(std::wstring_view text) {
    const std::uint64_t id = ReadWholeNumber(text, 10, 10);
    return id <= std::numeric_limits<std::uint32_t>::max() ? static_cast<std::uint32_t>(id) : 0;
}

std::uint32_t ReadTimeLimit(std::wstring_view text) {
    constexpr std::uint64_t kFactors[] = {1, 60, 3600};
    constexpr std::uint64_t kMaxSeconds = 4294967;  // milliseconds that still fit 32 bits
    const bool bare = !text.empty() && text.back() >= L'0' && text.back() <= L'9';
    const std::uint64_t seconds =
        bare ? ReadWholeNumber(text, 10, 10) : ReadCountWithUnit(text, L"smh", kFactors);
    return seconds <= kMaxSeconds ? static_cast<std::uint32_t>(seconds) : 0;
}

std::uint32_t ReadCpuLimit(std::wstring_view text) {
    const std::uint64_t percent = ReadWholeNumber(text, 10, 3);
    return percent <= 100 ? static_cast<std::uint32_t>(percent) : 0;
}

std::uint64_t ReadMemoryLimit(std::wstring_view text) {
    constexpr std::uint64_t kMiB = std::uint64_t{1024} * 1024;
    constexpr std::uint64_t kFactors[] = {1024, kMiB, kMiB * 1024};
    const std::uint64_t bytes = ReadCountWithUnit(text, L"kmg", kFactors);
    return bytes >= kMiB ? bytes : 0;
}

CommandLineRequest ParseCommandLine(std::wstring_view text) {
    Reader reader;
    for (std::size_t start = 0; !text.empty();) {
        const std::size_t end = text.find(L' ', start);
        const std::size_t length = end == std::wstring_view::npos ? end : end - start;
        const std::size_t withSpace = end == std::wstring_view::npos ? end : length + 1;
        reader.Read(text.substr(start, length), text.substr(start, withSpace));
        if (end == std::wstring_view::npos) {
            break;
        }
        start = end + 1;
    }
    return reader.Finish();
}

}  // namespace modVantrel
