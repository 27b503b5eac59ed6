# Cross build for 64-bit Windows with Debian's LLVM: clang and lld, on the same
# mingw-w64 headers and import libraries (libucrt.a) as the GCC toolchain.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER clang)
set(CMAKE_C_COMPILER_TARGET ${triple})
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_CXX_COMPILER_TARGET ${triple})
set(CMAKE_RC_COMPILER ${triple}-windres)

# Debian's clang does not find the mingw-w64 GCC's C++ library on its own
# (its directory is named "12-posix", not a plain version): ask GCC where it is.
execute_process(COMMAND ${triple}-g++-posix -print-libgcc-file-name
                OUTPUT_VARIABLE libgcc OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
get_filename_component(gcc_dir "${libgcc}" DIRECTORY)
# -stdlib++-isystem, unlike -isystem, is dropped by -nostdinc++.
set(CMAKE_CXX_FLAGS_INIT
    "-stdlib++-isystem ${gcc_dir}/include/c++ -stdlib++-isystem ${gcc_dir}/include/c++/${triple}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld -L${gcc_dir}")

set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
