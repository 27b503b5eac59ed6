# Import libraries made at build time from the module-definition files in
# cmake/imports, for a target with no mingw-w64 runtime of its own (Debian has
# none for ARM64). Each defines a target of the name the launcher links with:
# kernel32, user32, and ucrt for the UCRT's API sets.
find_program(LLVM_DLLTOOL NAMES llvm-dlltool llvm-dlltool-14 REQUIRED)

function(add_import_library name)
    set(libraries)
    foreach(dll IN LISTS ARGN)
        set(def ${PROJECT_SOURCE_DIR}/cmake/imports/${dll}.def)
        set(library ${PROJECT_BINARY_DIR}/imports/lib${dll}.a)
        add_custom_command(OUTPUT ${library}
                           COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/imports
                           COMMAND ${LLVM_DLLTOOL} -m ${LLVM_DLLTOOL_MACHINE} -d ${def} -l ${library}
                           DEPENDS ${def} VERBATIM)
        list(APPEND libraries ${library})
    endforeach()
    add_custom_target(${name}_import_library DEPENDS ${libraries})
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE ${libraries})
    add_dependencies(${name} ${name}_import_library)
endfunction()

add_import_library(kernel32 kernel32)
add_import_library(user32 user32)
add_import_library(ucrt api-ms-win-crt-runtime-l1-1-0 api-ms-win-crt-stdio-l1-1-0 api-ms-win-crt-private-l1-1-0)
