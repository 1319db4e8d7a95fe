# Cross-compiles for 64-bit Windows with clang and lld. Clang brings no C++ library for this
# target, so it borrows libstdc++ (headers and static libraries) from the installed MinGW-w64 GCC,
# preferring its win32-threads flavour as the GCC toolchain does; the C runtime and Windows
# libraries come from the MinGW-w64 sysroot.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(vantrel_triple x86_64-w64-mingw32)

set(CMAKE_C_COMPILER clang)
set(CMAKE_C_COMPILER_TARGET ${vantrel_triple})
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_CXX_COMPILER_TARGET ${vantrel_triple})
# The sysroot also keeps the host's /usr/include out of the search path.
set(CMAKE_SYSROOT /usr/${vantrel_triple})
set(CMAKE_FIND_ROOT_PATH /usr/${vantrel_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

find_program(CMAKE_RC_COMPILER NAMES llvm-windres llvm-windres-14 ${vantrel_triple}-windres
             NO_CMAKE_FIND_ROOT_PATH REQUIRED)

# The C++ headers of the newest GCC, win32 flavour first: e.g. /usr/lib/gcc/<triple>/12-win32.
file(GLOB vantrel_gcc_dirs LIST_DIRECTORIES true /usr/lib/gcc/${vantrel_triple}/*-win32/include/c++)
if(NOT vantrel_gcc_dirs)
  file(GLOB vantrel_gcc_dirs LIST_DIRECTORIES true /usr/lib/gcc/${vantrel_triple}/*/include/c++)
endif()
if(NOT vantrel_gcc_dirs)
  message(FATAL_ERROR "No MinGW-w64 GCC C++ headers under /usr/lib/gcc/${vantrel_triple}")
endif()
list(SORT vantrel_gcc_dirs COMPARE NATURAL ORDER DESCENDING)
list(GET vantrel_gcc_dirs 0 vantrel_gcc_cxx)
get_filename_component(vantrel_gcc_lib ${vantrel_gcc_cxx}/../.. ABSOLUTE)

# Clang finds no C++ headers of its own under the sysroot; these come first in any case.
set(CMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES ${vantrel_gcc_cxx} ${vantrel_gcc_cxx}/${vantrel_triple}
    ${vantrel_gcc_cxx}/backward)
# The posix flavour of libgcc needs winpthread; lld takes it from the archive wherever it stands
# on the line, and only if something refers to it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld -L${vantrel_gcc_lib} -lwinpthread")
