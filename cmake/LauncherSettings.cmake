# Build-time settings of the launcher. Each is a cache variable whose default
# is this package's own value; each is checked here, so that a bad value stops
# the configure step, and turned into C++ wide string literals in a generated
# header. Nothing of this is read at run time.

set(LAUNCHER_SUBSYSTEM "windows" CACHE STRING
    "windows: a windowed launcher with an error box; console: a console launcher for command-line packages")
set_property(CACHE LAUNCHER_SUBSYSTEM PROPERTY STRINGS windows console)
set(LAUNCHER_BUSY_CURSOR "launcher" CACHE STRING
    "launcher: Windows' busy cursor runs its course; child: it ends when the child has been created (windowed only)")
set_property(CACHE LAUNCHER_BUSY_CURSOR PROPERTY STRINGS launcher child)

function(_launcher_check_choice variable)
    if(NOT "${${variable}}" IN_LIST ARGN)
        list(JOIN ARGN " or " choices)
        message(FATAL_ERROR "${variable} = \"${${variable}}\": must be ${choices}")
    endif()
endfunction()
_launcher_check_choice(LAUNCHER_SUBSYSTEM windows console)
_launcher_check_choice(LAUNCHER_BUSY_CURSOR launcher child)
if(LAUNCHER_SUBSYSTEM STREQUAL "console" AND LAUNCHER_BUSY_CURSOR STREQUAL "child")
    message(FATAL_ERROR "LAUNCHER_BUSY_CURSOR = \"child\": a console launcher has no busy cursor to hand over; "
                        "use it with LAUNCHER_SUBSYSTEM = \"windows\"")
endif()

set(LAUNCHER_NAME "Kelvareth" CACHE STRING
    "File name of the launcher executable, without .exe")
# A console launcher starts the interpreter that has a console.
if(LAUNCHER_SUBSYSTEM STREQUAL "console")
    set(_interpreter "python\\python.exe")
else()
    set(_interpreter "python\\pythonw.exe")
endif()
set(LAUNCHER_INTERPRETER "${_interpreter}" CACHE STRING
    "The interpreter, relative to the package directory")
set(LAUNCHER_SCRIPT "launcher\\kelvareth_launcher.pyw" CACHE STRING
    "The script the interpreter runs, relative to the package directory")
set(LAUNCHER_MESSAGE "${LAUNCHER_INTERPRETER} was not found next to this file. Extract the whole package." CACHE STRING
    "Text of the error box (windowed) or error line (console) when the interpreter cannot be started")
set(LAUNCHER_CAPTION "Kelvareth: The Tessaly Collection" CACHE STRING
    "Caption of the error box")
set(LAUNCHER_ICON "${PROJECT_SOURCE_DIR}/res/kelvareth.ico" CACHE FILEPATH
    "Icon file (.ico) of the executable")

# Control codes 0x01-0x1F and 0x7F, as a regular-expression bracket expression.
string(ASCII 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 27 28 29 30 31 127 _controls)
set(_control "[${_controls}]")

function(_launcher_reject variable why)
    message(FATAL_ERROR "${variable} = \"${${variable}}\": ${why}")
endfunction()

function(_launcher_check_text variable)
    set(value "${${variable}}")
    if(value STREQUAL "")
        _launcher_reject(${variable} "must not be empty")
    endif()
    # A cache entry cannot keep a line break either: CMake cuts it there.
    if(value MATCHES "${_control}")
        _launcher_reject(${variable} "must not hold control characters")
    endif()
endfunction()

function(_launcher_check_path variable)
    _launcher_check_text(${variable})
    set(value "${${variable}}")
    if(value MATCHES "/")
        _launcher_reject(${variable} "must separate with backslashes, not forward slashes")
    endif()
    if(value MATCHES "^\\\\")
        _launcher_reject(${variable} "must be relative to the package directory, not start with a backslash")
    endif()
    if(value MATCHES ":")
        _launcher_reject(${variable} "must not name a drive or hold a colon: give a path relative to the package directory")
    endif()
    if(value MATCHES "\"")
        _launcher_reject(${variable} "must not hold double quotes")
    endif()
    if(value MATCHES "(^|\\\\)(\\.|\\.\\.)?$")
        _launcher_reject(${variable} "must name a file: its last component is empty, . or ..")
    endif()
endfunction()

_launcher_check_path(LAUNCHER_INTERPRETER)
_launcher_check_path(LAUNCHER_SCRIPT)
_launcher_check_text(LAUNCHER_MESSAGE)
_launcher_check_text(LAUNCHER_CAPTION)

# The child's command line is
#   "<dir>\<interpreter>" "<dir>\<script>" <arguments>
# in a buffer of 32768 characters with its terminator. The two paths must leave
# room in it for a package directory of MAX_PATH (260) characters, twice.
# Lengths count UTF-8 bytes, never fewer than the UTF-16 code units.
string(LENGTH "${LAUNCHER_INTERPRETER}" _interpreter_length)
string(LENGTH "${LAUNCHER_SCRIPT}" _script_length)
math(EXPR _paths_length "${_interpreter_length} + ${_script_length}")
math(EXPR _paths_room "32767 - 8 - 2 * 260")
if(_paths_length GREATER _paths_room)
    message(FATAL_ERROR
        "LAUNCHER_INTERPRETER and LAUNCHER_SCRIPT are ${_paths_length} characters together; "
        "at most ${_paths_room} leave room in the 32768-character command line for a package directory")
endif()

if(LAUNCHER_NAME STREQUAL "")
    _launcher_reject(LAUNCHER_NAME "must not be empty")
endif()
if(LAUNCHER_NAME MATCHES "[\\\\/:*?\"<>|]" OR LAUNCHER_NAME MATCHES "${_control}")
    _launcher_reject(LAUNCHER_NAME "must be a file name: no \\ / : * ? \" < > | or control characters")
endif()
if(LAUNCHER_NAME MATCHES "[. ]$")
    _launcher_reject(LAUNCHER_NAME "must not end in a dot or a blank")
endif()
string(TOUPPER "${LAUNCHER_NAME}" _name)
if(_name MATCHES "^(CON|PRN|AUX|NUL|COM[1-9]|LPT[1-9])(\\..*)?$")
    _launcher_reject(LAUNCHER_NAME "is a reserved device name on Windows")
endif()

# An icon file starts with reserved 0, type 1 and a nonzero image count.
if(NOT IS_ABSOLUTE "${LAUNCHER_ICON}")
    get_filename_component(LAUNCHER_ICON "${LAUNCHER_ICON}" ABSOLUTE BASE_DIR "${PROJECT_SOURCE_DIR}")
endif()
if(NOT EXISTS "${LAUNCHER_ICON}" OR IS_DIRECTORY "${LAUNCHER_ICON}")
    _launcher_reject(LAUNCHER_ICON "is not a file")
endif()
file(READ "${LAUNCHER_ICON}" _icon_header LIMIT 6 HEX)
if(NOT _icon_header MATCHES "^00000100....$" OR _icon_header STREQUAL "000001000000")
    _launcher_reject(LAUNCHER_ICON "is not an icon file (.ico)")
endif()

# C++ wide string literals: the source is read as UTF-8, so other characters
# stand as they are; a path inserted into a format string has its percent
# signs doubled, so that they are copied, never read as directives.
function(_launcher_literal out value)
    string(REPLACE "\\" "\\\\" value "${value}")
    string(REPLACE "\"" "\\\"" value "${value}")
    if(ARGV2 STREQUAL "FORMAT")
        string(REPLACE "%" "%%" value "${value}")
    endif()
    set(${out} "${value}" PARENT_SCOPE)
endfunction()

_launcher_literal(LAUNCHER_INTERPRETER_FORMAT "${LAUNCHER_INTERPRETER}" FORMAT)
_launcher_literal(LAUNCHER_SCRIPT_FORMAT "${LAUNCHER_SCRIPT}" FORMAT)
_launcher_literal(LAUNCHER_MESSAGE_TEXT "${LAUNCHER_MESSAGE}")
_launcher_literal(LAUNCHER_CAPTION_TEXT "${LAUNCHER_CAPTION}")
configure_file(${PROJECT_SOURCE_DIR}/src/settings.h.in ${PROJECT_BINARY_DIR}/generated/settings.h @ONLY)

# The resource script names "launcher.ico", and the build compiles it in this
# directory.
configure_file("${LAUNCHER_ICON}" ${PROJECT_BINARY_DIR}/generated/launcher.ico COPYONLY)
