# Configures the project with one bad build-time setting at a time and expects
# the configure step to stop with an error that names the setting and says
# what is wrong. Also checks the defaults that depend on another setting.
#   cmake -DSOURCE_DIR=... -DWORK_DIR=... -DTOOLCHAIN_FILE=... -P settings_rejected.cmake
cmake_minimum_required(VERSION 3.25)

set(defaults
    LAUNCHER_SUBSYSTEM "windows"
    LAUNCHER_BUSY_CURSOR "launcher"
    LAUNCHER_NAME "Kelvareth"
    LAUNCHER_INTERPRETER "python\\pythonw.exe"
    LAUNCHER_SCRIPT "launcher\\kelvareth_launcher.pyw"
    LAUNCHER_MESSAGE "python\\pythonw.exe was not found next to this file. Extract the whole package."
    LAUNCHER_CAPTION "Kelvareth: The Tessaly Collection"
    LAUNCHER_ICON "${SOURCE_DIR}/res/kelvareth.ico"
    LAUNCHER_ERROR_REPORT "brief"
    LAUNCHER_FAILURE_MESSAGE "The application stopped with an error."
    LAUNCHER_STARTUP_INFO "none"
    LAUNCHER_VERSION_INFO "OFF"
    LAUNCHER_VERSION "1.0.0")
# Empty by default; given empty on each run, after the others.
set(empty_defaults LAUNCHER_APP_ID LAUNCHER_PRODUCT LAUNCHER_DESCRIPTION LAUNCHER_COMPANY LAUNCHER_COPYRIGHT)

# Every setting is given on each run, so that no bad value stays in the cache
# from the case before; the build tree is configured once.
function(configure variable value)
    set(args)
    set(rest ${defaults})
    while(rest)
        list(POP_FRONT rest name default)
        if(NOT name STREQUAL variable)
            list(APPEND args "-D${name}:STRING=${default}")
        endif()
    endwhile()
    foreach(name IN LISTS empty_defaults)
        if(NOT name STREQUAL variable)
            list(APPEND args "-D${name}:STRING=")
        endif()
    endforeach()
    # The value under test comes last, unlisted: a trailing backslash in a
    # list element would escape the separator after it.
    execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR} --preset default -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN_FILE} ${args}
                            "-D${variable}:STRING=${value}"
                    RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE errors)
    set(result ${result} PARENT_SCOPE)
    set(errors "${errors}" PARENT_SCOPE)
endfunction()

# CMake wraps its error text at blanks, wherever the value (a path, say) makes
# a line end: words are compared with every run of white space as one blank.
function(flatten out text)
    string(REGEX REPLACE "[ \t\r\n]+" " " text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

function(expect_rejected variable value why)
    configure(${variable} "${value}")
    flatten(flat "${errors}")
    flatten(why "${why}")
    string(FIND "${flat}" "${variable}" named)
    string(FIND "${flat}" "${why}" said)
    if(result EQUAL 0)
        message(SEND_ERROR "${variable} = \"${value}\" was accepted")
    elseif(named EQUAL -1 OR said EQUAL -1)
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

# A busy cursor to hand over exists only for a windowed launcher.
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR}/console --preset default
                        -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN_FILE} -DLAUNCHER_SUBSYSTEM=console -DLAUNCHER_BUSY_CURSOR=child
                RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE errors)
flatten(flat "${errors}")
string(FIND "${flat}" "LAUNCHER_BUSY_CURSOR = \"child\": a console launcher has no busy cursor" said)
if(result EQUAL 0 OR said EQUAL -1)
    message(SEND_ERROR "a console launcher with LAUNCHER_BUSY_CURSOR = child was not refused as such:\n${errors}")
endif()

# Without LAUNCHER_INTERPRETER, a console launcher starts the interpreter that
# has a console, and the message names whichever interpreter is started.
file(REMOVE_RECURSE ${WORK_DIR}/console)
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR}/console --preset default
                        -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN_FILE} -DLAUNCHER_SUBSYSTEM=console
                RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE errors)
file(STRINGS ${WORK_DIR}/console/CMakeCache.txt cached REGEX "^LAUNCHER_(INTERPRETER|MESSAGE):")
set(expected "LAUNCHER_INTERPRETER:STRING=python\\python.exe"
             "LAUNCHER_MESSAGE:STRING=python\\python.exe was not found next to this file. Extract the whole package.")
if(NOT result EQUAL 0 OR NOT cached STREQUAL expected)
    message(SEND_ERROR "console defaults: expected\n${expected}\ngot\n${cached}\n${errors}")
endif()

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
expect_rejected(LAUNCHER_INTERPRETER "python\\" "must name a file")
expect_rejected(LAUNCHER_INTERPRETER "python\\." "must name a file")
expect_rejected(LAUNCHER_SCRIPT "launcher\\.." "must name a file")
expect_rejected(LAUNCHER_SCRIPT "." "must name a file")
expect_rejected(LAUNCHER_SCRIPT ".." "must name a file")
expect_accepted(LAUNCHER_SCRIPT "launcher\\..pyw")
expect_rejected(LAUNCHER_SUBSYSTEM "gui" "must be windows or console")
expect_rejected(LAUNCHER_SUBSYSTEM "Console" "must be windows or console")
expect_rejected(LAUNCHER_BUSY_CURSOR "none" "must be launcher or child")
expect_rejected(LAUNCHER_ERROR_REPORT "verbose" "must be brief or full")
expect_rejected(LAUNCHER_STARTUP_INFO "all" "must be none or forward")
expect_rejected(LAUNCHER_VERSION_INFO "maybe" "must be ON or OFF")
expect_rejected(LAUNCHER_FAILURE_MESSAGE "" "must not be empty")
expect_rejected(LAUNCHER_FAILURE_MESSAGE "Ring${bell}" "control characters")

# An AppUserModelID counts UTF-16 units, as Windows does: 128 CJK characters
# (384 bytes) fit, 65 characters beyond the BMP (130 units) do not.
string(REPEAT "x" 128 id_128)
string(REPEAT "日" 128 id_128_cjk)
string(REPEAT "𝄞" 65 id_130_units)
expect_accepted(LAUNCHER_APP_ID "${id_128}")
expect_accepted(LAUNCHER_APP_ID "${id_128_cjk}")
expect_rejected(LAUNCHER_APP_ID "${id_128}x" "at most 128")
expect_rejected(LAUNCHER_APP_ID "${id_130_units}" "at most 128")
expect_rejected(LAUNCHER_APP_ID "Tessaly Kelvareth" "must not hold blanks, quotes or control characters")
expect_rejected(LAUNCHER_APP_ID "Tessaly.\"K\"" "must not hold blanks, quotes or control characters")
expect_rejected(LAUNCHER_APP_ID "Tessaly.K'" "must not hold blanks, quotes or control characters")
expect_rejected(LAUNCHER_APP_ID "Tessaly.${tab}K" "must not hold blanks, quotes or control characters")

string(REPEAT "y" 256 text_256)
expect_accepted(LAUNCHER_PRODUCT "${text_256}")
foreach(variable LAUNCHER_PRODUCT LAUNCHER_DESCRIPTION LAUNCHER_COMPANY LAUNCHER_COPYRIGHT)
    expect_rejected(${variable} "${text_256}y" "at most 256")
    expect_rejected(${variable} "Tab${tab}stop" "control characters")
endforeach()
foreach(version "1" "1.2" "1.2.3" "65535.0.65535.1")
    expect_accepted(LAUNCHER_VERSION "${version}")
endforeach()
foreach(version "1.2.3.4.5" "1.x" "v1" "1..2" "1.2." "-1")
    expect_rejected(LAUNCHER_VERSION "${version}" "must be one to four numbers")
endforeach()
expect_rejected(LAUNCHER_VERSION "1.65536" "at most 65535")
expect_rejected(LAUNCHER_VERSION "0000001" "at most 65535")

expect_rejected(LAUNCHER_ICON "${SOURCE_DIR}/res/kelvareth.svg" "is not an icon file (.ico)")
expect_rejected(LAUNCHER_ICON "${SOURCE_DIR}/res/no-such.ico" "is not a file")

file(REMOVE_RECURSE ${WORK_DIR})
