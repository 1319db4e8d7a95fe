// A function of a system DLL, found at run time: for calls that older Windows lacks, and for DLLs
// that only a rare path needs, so that no executable imports them.
#pragma once

#include <windows.h>

namespace modVantrel {

// Null when the DLL or the function is missing. The DLL stays loaded: the shell and COM may leave
// threads of their own running in theirs. Only known DLLs are named, so always the system's.
template <typename Function>
Function SystemFunction(const wchar_t* dll, const char* name) {
    const HMODULE module = ::LoadLibraryW(dll);
    const FARPROC found = module != nullptr ? ::GetProcAddress(module, name) : nullptr;
    // Through the generic function type, which GCC lets convert to any other without a warning.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

}  // namespace modVantrel
