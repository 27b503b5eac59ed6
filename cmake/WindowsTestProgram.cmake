# Test and benchmark programs carry their C++ runtime inside, so that Wine
# needs no DLLs beside them. That runtime uses winpthreads, which clang does
# not add itself.
find_package(Threads REQUIRED)

function(add_windows_test_program name)
    add_executable(${name} ${ARGN})
    target_compile_features(${name} PRIVATE cxx_std_17)
    target_compile_options(${name} PRIVATE -Wall -Wextra)
    target_compile_definitions(${name} PRIVATE UNICODE _UNICODE)
    target_link_options(${name} PRIVATE -static)
    target_link_libraries(${name} PRIVATE Threads::Threads)
endfunction()
