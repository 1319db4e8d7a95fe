// Reads the numbers that Vantrel's options carry: the priority, the processor mask, a process id
// and the limits. Each reader takes the option's text after its colon.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace modVantrel {

// Reads a priority: a class's name, in any case, as the whole text (idle or low 1, belownormal 2,
// normal 3, abovenormal 4, high 5, realtime 6); otherwise a number. Blanks, tabs and line feeds
// are skipped; the longest leading decimal number (sign, point, exponent) or &h / &o number is
// taken, rounded half to even. A value that does not fit 32 bits is pinned to the nearest bound,
// so it is still out of range.
std::int32_t ReadPriorityNumber(std::wstring_view text);

// Reads an affinity mask: 1 to 16 hexadecimal digits in any case and nothing else. Any other text
// gives 0, which names no processor, as a mask of zeros does.
std::uint64_t ReadAffinityMask(std::wstring_view text);

// Reads a process id: 1 to 10 decimal digits and nothing else, within 32 bits. Any other text
// gives 0, which names no process that can be waited on.
std::uint32_t ReadProcessId(std::wstring_view text);

// What the elevated restart writes after "/parent:": the first run's id and start, which together
// name that one process, and the end of its time limit on the system's monotonic clock (0: none).
struct ParentMark {
    std::uint32_t id = 0;
    std::uint64_t start = 0;
    std::uint64_t deadline = 0;
};

// Reads "<id>:<start>:<deadline>": an id other than 0 as ReadProcessId reads one, then two numbers
// of 1 to 19 decimal digits. None for any other text.
std::optional<ParentMark> ReadParentMark(std::wstring_view text);

// Reads a time limit: 1 to 10 decimal digits and an optional unit, s (the default), m or h, in any
// case, in all 1 to 4294967 seconds. Any other text gives 0.
std::uint32_t ReadTimeLimit(std::wstring_view text);

inline constexpr std::uint32_t kMaxGraceSeconds = 3600;

// Reads a grace period: 1 to 10 decimal digits and an optional unit, s (the default), m or h, in
// any case, in all 0 to kMaxGraceSeconds seconds. Any other text gives kMaxGraceSeconds + 1.
std::uint32_t ReadGracePeriod(std::wstring_view text);

// Reads a processor share: 1 to 3 decimal digits, 1 to 100 percent. Any other text gives 0.
std::uint32_t ReadCpuLimit(std::wstring_view text);

// Reads a memory limit: 1 to 10 decimal digits and a unit, K, M or G in any case (1024, 1024^2,
// 1024^3 bytes), in all at least 1 MiB. Any other text gives 0.
std::uint64_t ReadMemoryLimit(std::wstring_view text);

}  // namespace modVantrel
