# Run by CPack once the archive is made, before its checksum: writes it again
# with reproducible_zip.py, dated at the release time (ReleaseTime.cmake), so
# that the same commit gives the same archive.
set(SOURCE_DIR "${CPACK_LAUNCHER_SOURCE_DIR}")
include(${CMAKE_CURRENT_LIST_DIR}/ReleaseTime.cmake)
if(NOT release_time)
    set(release_time 0)
endif()
foreach(archive IN LISTS CPACK_PACKAGE_FILES)
    execute_process(COMMAND "${CPACK_LAUNCHER_PYTHON}" "${CMAKE_CURRENT_LIST_DIR}/reproducible_zip.py"
                            "${archive}" ${release_time}
                    COMMAND_ERROR_IS_FATAL ANY)
endforeach()
