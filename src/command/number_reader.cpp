#include "command/number_reader.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>
#include <utility>

#include "command/text.h"

namespace modVantrel {
namespace {

// The priority classes by the names that other Windows tools give them.
constexpr std::pair<std::wstring_view, std::int32_t> kPriorityNames[] = {
    {L"idle", 1},        {L"low", 1},  {L"belownormal", 2}, {L"normal", 3},
    {L"abovenormal", 4}, {L"high", 5}, {L"realtime", 6},
};

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

// A number that is 1 to `maxDigits` digits of `radix`, in any case, and nothing else; none for any
// other text. Look-alike digits outside ASCII are not digits.
std::optional<std::uint64_t> ReadWholeNumber(std::wstring_view text, int radix,
                                             std::size_t maxDigits) {
    if (text.empty() || text.size() > maxDigits) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const wchar_t c : text) {
        const int digit = c > 0x7F ? -1 : DigitValue(static_cast<char>(AsciiLower(c)), radix);
        if (digit < 0) {
            return std::nullopt;
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

// The unit that ends a count's text, looked up in `units` ("smh": seconds, minutes, hours), with
// its multiplier from `factors`; the 1 to 10 digits before it are the count. None for other text.
std::optional<std::uint64_t> ReadCountWithUnit(std::wstring_view text, std::wstring_view units,
                                               const std::uint64_t* factors) {
    const std::size_t unit =
        text.empty() ? std::wstring_view::npos : units.find(AsciiLower(text.back()));
    if (unit == std::wstring_view::npos) {
        return std::nullopt;
    }
    const std::optional<std::uint64_t> count =
        ReadWholeNumber(text.substr(0, text.size() - 1), 10, 10);
    return count ? std::optional<std::uint64_t>(*count * factors[unit]) : std::nullopt;
}

// Seconds: 1 to 10 decimal digits and an optional unit, s (the default), m or h, in any case; none
// for other text. A time limit and a grace period are both read so.
std::optional<std::uint64_t> ReadSeconds(std::wstring_view text) {
    constexpr std::uint64_t kFactors[] = {1, 60, 3600};
    const bool bare = !text.empty() && text.back() >= L'0' && text.back() <= L'9';
    return bare ? ReadWholeNumber(text, 10, 10) : ReadCountWithUnit(text, L"smh", kFactors);
}

}  // namespace

std::int32_t ReadPriorityNumber(std::wstring_view text) {
    for (const auto& [name, number] : kPriorityNames) {
        if (EqualsIgnoringCase(text, name)) {
            return number;
        }
    }
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
    return ReadWholeNumber(text, 16, 16).value_or(0);
}

std::uint32_t ReadProcessId(std::wstring_view text) {
    const std::uint64_t id = ReadWholeNumber(text, 10, 10).value_or(0);
    return id <= std::numeric_limits<std::uint32_t>::max() ? static_cast<std::uint32_t>(id) : 0;
}

std::uint32_t ReadTimeLimit(std::wstring_view text) {
    constexpr std::uint64_t kMaxSeconds = 4294967;  // milliseconds that still fit 32 bits
    const std::uint64_t seconds = ReadSeconds(text).value_or(0);
    return seconds <= kMaxSeconds ? static_cast<std::uint32_t>(seconds) : 0;
}

std::uint32_t ReadGracePeriod(std::wstring_view text) {
    // Unlike a limit, 0 is a grace: only text that is no number at all is refused.
    const std::optional<std::uint64_t> seconds = ReadSeconds(text);
    return seconds && *seconds <= kMaxGraceSeconds ? static_cast<std::uint32_t>(*seconds)
                                                   : kMaxGraceSeconds + 1;
}

std::uint32_t ReadCpuLimit(std::wstring_view text) {
    const std::uint64_t percent = ReadWholeNumber(text, 10, 3).value_or(0);
    return percent <= 100 ? static_cast<std::uint32_t>(percent) : 0;
}

std::uint64_t ReadMemoryLimit(std::wstring_view text) {
    constexpr std::uint64_t kMiB = std::uint64_t{1024} * 1024;
    constexpr std::uint64_t kFactors[] = {1024, kMiB, kMiB * 1024};
    const std::uint64_t bytes = ReadCountWithUnit(text, L"kmg", kFactors).value_or(0);
    return bytes >= kMiB ? bytes : 0;
}

}  // namespace modVantrel
