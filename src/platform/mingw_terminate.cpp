// Built with MinGW-w64 only. The static C++ runtime's default terminate handler writes the type of
// the uncaught exception, demangled, to the standard error stream and then aborts. A GUI program
// has no such stream, and the demangler with the formatted printing it needs would be 70 KB, a
// third of the executable; this handler keeps the part that has an effect, the abort.
#include <cstdlib>

namespace __gnu_cxx {

// NOLINTNEXTLINE(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp): the runtime's name
[[noreturn]] void __verbose_terminate_handler() {
    std::abort();
}

}  // namespace __gnu_cxx
