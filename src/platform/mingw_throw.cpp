// Built with MinGW-w64 only. The standard strings report a failed check or allocation through
// these functions. The static C++ runtime's versions throw std::length_error, std::out_of_range
// and their kin, whose message strings bring a second string implementation with them: a quarter
// of the executable. These define the ones the link refers to and keep what the program relies
// on: running out of memory is reported; the other checks cannot fail in correct code, so they
// abort. A link that came to need one more would stop at a duplicate definition, not go quiet.
#include <cstdlib>
#include <new>

// NOLINTBEGIN(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp,cert-dcl58-cpp): the
// runtime's names, in its namespace
namespace std {

[[noreturn]] void __throw_bad_alloc() {
    throw std::bad_alloc();
}

[[noreturn]] void __throw_bad_array_new_length() {
    throw std::bad_alloc();
}

// A string asked to grow beyond its maximum size asks for more memory than there can be.
[[noreturn]] void __throw_length_error(const char* /*what*/) {
    throw std::bad_alloc();
}

[[noreturn]] void __throw_logic_error(const char* /*what*/) {
    std::abort();
}

// NOLINTNEXTLINE(cert-dcl50-cpp): the runtime's signature
[[noreturn]] void __throw_out_of_range_fmt(const char* /*format*/, ...) {
    std::abort();
}

}  // namespace std
// NOLINTEND(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp,cert-dcl58-cpp)
