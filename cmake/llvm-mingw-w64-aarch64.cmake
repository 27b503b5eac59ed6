# Cross build for Windows on ARM64 with Debian's LLVM: clang, lld and
# llvm-windres targeting aarch64-w64-mingw32. Debian has no ARM64 mingw-w64
# runtime, and the launcher needs none: mingw-w64's headers serve every
# architecture, and its import libraries are made from cmake/imports/*.def.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ARM64)

set(triple aarch64-w64-mingw32)
set(CMAKE_C_COMPILER clang)
set(CMAKE_C_COMPILER_TARGET ${triple})
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_CXX_COMPILER_TARGET ${triple})
find_program(CMAKE_RC_COMPILER NAMES llvm-windres PATHS /usr/lib/llvm-14/bin REQUIRED)
set(CMAKE_RC_FLAGS_INIT "--target=${triple}")
set(LLVM_DLLTOOL_MACHINE arm64)

set(CMAKE_CXX_FLAGS_INIT "-isystem /usr/share/mingw-w64/include")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld")
# Nothing by default: the Windows libraries that CMake would add have no ARM64
# import libraries here, and the launcher names what it links.
set(CMAKE_CXX_STANDARD_LIBRARIES "" CACHE STRING "Libraries linked by default with all C++ programs")
# Without a runtime, only the compiler itself can be tried, not a link.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
