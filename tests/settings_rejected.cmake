# Configures the project with one bad build-time setting at a time and expects
# the configure step to stop with an error that names the setting and says
# what is wrong.
#   cmake -DSOURCE_DIR=... -DWORK_DIR=... -DTOOLCHAIN_FILE=... -P settings_rejected.cmake
cmake_minimum_required(VERSION 3.25)

set(defaults
    LAUNCHER_NAME "Kelvareth"
    LAUNCHER_INTERPRETER "python\\pythonw.exe"
    LAUNCHER_SCRIPT "launcher\\kelvareth_launcher.pyw"
    LAUNCHER_MESSAGE "python\\pythonw.exe was not found next to this file. Extract the whole package."
    LAUNCHER_CAPTION "Kelvareth: The Tessaly Collection"
    LAUNCHER_ICON "${SOURCE_DIR}/res/kelvareth.ico")

# Every setting is given on each run, so that no bad value stays in the cache
# from the case before; the build tree is configured once.
function(configure variable value)
    set(args)
    set(rest ${defaults})
    while(rest)
        list(POP_FRONT rest name default)
        if(name STREQUAL variable)
            list(APPEND args "-D${name}:STRING=${value}")
        else()
            list(APPEND args "-D${name}:STRING=${default}")
        endif()
    endwhile()
    execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR} --preset default -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN_FILE} ${args}
                    RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE errors)
    set(result ${result} PARENT_SCOPE)
    set(errors "${errors}" PARENT_SCOPE)
endfunction()

function(expect_rejected variable value why)
    configure(${variable} "${value}")
    if(result EQUAL 0)
        message(SEND_ERROR "${variable} = \"${value}\" was accepted")
    elseif(NOT errors MATCHES "${variable}" OR NOT errors MATCHES "${why}")
        message(SEND_ERROR "${variable} = \"${value}\": expected an error naming ${variable} and saying \"${why}\", got:\n${errors}")
    endif()
endfunction()

function(expect_accepted variable value)
    configure(${variable} "${value}")
    if(NOT result EQUAL 0)
        message(SEND_ERROR "${variable} = \"${value}\" was rejected:\n${errors}")
    endif()
endfunction()

string(ASCII 7 bell)
string(ASCII 9 tab)
# With the default interpreter's 18 characters, 32239 together: the most that
# leaves room for a package directory.
string(REPEAT "x" 32221 longest)

file(REMOVE_RECURSE ${WORK_DIR})
expect_accepted(LAUNCHER_SCRIPT "${longest}")

foreach(variable LAUNCHER_NAME LAUNCHER_INTERPRETER LAUNCHER_SCRIPT LAUNCHER_MESSAGE LAUNCHER_CAPTION)
    expect_rejected(${variable} "" "must not be empty")
endforeach()

expect_rejected(LAUNCHER_INTERPRETER "C:\\Python\\pythonw.exe" "must not name a drive")
expect_rejected(LAUNCHER_INTERPRETER "python\\pythonw.exe:stream" "hold a colon")
expect_rejected(LAUNCHER_INTERPRETER "\\python\\pythonw.exe" "must be relative")
expect_rejected(LAUNCHER_INTERPRETER "\\\\server\\share\\pythonw.exe" "must be relative")
expect_rejected(LAUNCHER_SCRIPT "launcher/start.pyw" "forward slashes")
expect_rejected(LAUNCHER_SCRIPT "launcher\\\"start\".pyw" "double quotes")
expect_rejected(LAUNCHER_SCRIPT "launcher\\start${tab}.pyw" "control characters")
expect_rejected(LAUNCHER_SCRIPT "${longest}x" "leave room")
expect_rejected(LAUNCHER_MESSAGE "Ring${bell}" "control characters")
expect_rejected(LAUNCHER_CAPTION "Tab${tab}stop" "control characters")
expect_rejected(LAUNCHER_NAME "bin\\Kelvareth" "must be a file name")
expect_rejected(LAUNCHER_NAME "Kelvareth." "must not end in a dot")
expect_rejected(LAUNCHER_NAME "nul" "reserved device name")
expect_rejected(LAUNCHER_ICON "${SOURCE_DIR}/res/kelvareth.svg" "is not an icon file")
expect_rejected(LAUNCHER_ICON "${SOURCE_DIR}/res/no-such.ico" "is not a file")

file(REMOVE_RECURSE ${WORK_DIR})
