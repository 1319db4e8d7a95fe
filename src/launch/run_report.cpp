#include "launch/run_report.h"

#include <cstdint>
#include <optional>

#include "command/text.h"

namespace modVantrel {
namespace {

constexpr std::uint64_t kTicksPerMillisecond = 10000;  // the system counts time in 100 ns
constexpr std::uint64_t kMicrosecondsPerMillisecond = 1000;
constexpr unsigned kMebibyteBits = 20;

// The nearest whole number of `divisor`s, a half rounded up; no overflow for any value.
std::uint64_t Rounded(std::uint64_t value, std::uint64_t divisor) {
    return value / divisor + (value % divisor >= (divisor + 1) / 2 ? 1 : 0);
}

// A count of thousandths or tenths, with the point before its last `decimals` digits. Written by
// hand: the C runtime's formatting would follow the locale and weigh on the MinGW build.
std::wstring Fixed(std::uint64_t scaled, std::size_t decimals) {
    std::wstring digits = Decimal(scaled);
    if (digits.size() <= decimals) {
        digits.insert(0, decimals + 1 - digits.size(), L'0');
    }
    digits.insert(digits.size() - decimals, 1, L'.');
    return digits;
}

std::wstring Seconds(std::uint64_t milliseconds) {
    return Fixed(milliseconds, 3) + L's';
}

std::wstring Time(const std::optional<std::uint64_t>& ticks) {
    return ticks ? Seconds(Rounded(*ticks, kTicksPerMillisecond)) : L"-";
}

std::wstring Size(const std::optional<std::uint64_t>& bytes) {
    if (!bytes) {
        return L"-";
    }
    // Whole MiB and the rest apart, so that the tenths of any 64-bit size fit.
    constexpr std::uint64_t kMebibyte = std::uint64_t{1} << kMebibyteBits;
    const std::uint64_t tenths =
        (*bytes >> kMebibyteBits) * 10 + Rounded((*bytes & (kMebibyte - 1)) * 10, kMebibyte);
    return Fixed(tenths, 1) + L"MiB";
}

std::wstring Count(const std::optional<std::uint64_t>& count) {
    return count ? Decimal(*count) : L"-";
}

std::wstring Signed(int value) {
    const std::int64_t wide = value;
    return (wide < 0 ? L"-" : L"") + Decimal(static_cast<std::uint64_t>(wide < 0 ? -wide : wide));
}

}  // namespace

std::wstring ReportLine(int status, const LaunchOutcome& outcome) {
    const RunCost& cost = outcome.cost;
    std::wstring line = L"vantrel:";
    const auto field = [&line](const wchar_t* name, const std::wstring& figure) {
        line.append(L" ").append(name).append(L"=").append(figure);
    };
    field(L"status", Signed(status));
    field(L"elapsed", Seconds(Rounded(outcome.elapsedMicroseconds, kMicrosecondsPerMillisecond)));
    field(L"user", Time(cost.userTime));
    field(L"kernel", Time(cost.kernelTime));
    field(L"processes", Count(cost.processes));
    field(L"peak-commit", Size(cost.peakCommit));
    field(L"read", Size(cost.bytesRead));
    field(L"written", Size(cost.bytesWritten));
    if (outcome.timedOut) {
        field(L"limit", L"time");
        field(L"stop", outcome.stop.ended ? L"ended" : L"closed");
    } else if (outcome.memoryLimitHit) {
        field(L"limit", L"memory");
    }
    return line + L"\r\n";
}

}  // namespace modVantrel
