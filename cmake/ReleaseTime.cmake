# Sets release_time to the time a release of SOURCE_DIR is made at, in seconds
# since 1970: $ENV{SOURCE_DATE_EPOCH} when set, else the commit's own time;
# empty when neither is known.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(release_time "$ENV{SOURCE_DATE_EPOCH}")
else()
    execute_process(COMMAND git -C "${SOURCE_DIR}" log -1 --format=%ct
                    RESULT_VARIABLE failed OUTPUT_VARIABLE release_time ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(failed)
        set(release_time "")
    endif()
endif()
if(NOT release_time MATCHES "^[0-9]+$")
    set(release_time "")
endif()
