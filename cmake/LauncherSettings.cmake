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
set(LAUNCHER_ERROR_REPORT "brief" CACHE STRING
    "brief: the launcher's one message; full: a windowed app's last words when it stops with an error, and the cause of a failed start")
set_property(CACHE LAUNCHER_ERROR_REPORT PROPERTY STRINGS brief full)
set(LAUNCHER_STARTUP_INFO "none" CACHE STRING
    "none: the child's start-up record is zeroed; forward: it gets how the launcher was asked to appear (show state, hot key, link name...)")
set_property(CACHE LAUNCHER_STARTUP_INFO PROPERTY STRINGS none forward)
set(LAUNCHER_APP_ID "" CACHE STRING
    "AppUserModelID for the child's windows (optional)")
set(LAUNCHER_VERSION_INFO OFF CACHE BOOL
    "Give the executable a version resource: product, description, company, copyright, version")
set(LAUNCHER_PRODUCT "" CACHE STRING "Version resource: ProductName (empty: LAUNCHER_NAME)")
set(LAUNCHER_DESCRIPTION "" CACHE STRING "Version resource: FileDescription (empty: the product)")
set(LAUNCHER_COMPANY "" CACHE STRING "Version resource: CompanyName (optional)")
set(LAUNCHER_COPYRIGHT "" CACHE STRING "Version resource: LegalCopyright (optional)")
set(LAUNCHER_VERSION "" CACHE STRING
    "Version resource: FileVersion and ProductVersion, one to four numbers (empty: the project's version)")

function(_launcher_check_choice variable)
    if(NOT "${${variable}}" IN_LIST ARGN)
        list(JOIN ARGN " or " choices)
        message(FATAL_ERROR "${variable} = \"${${variable}}\": must be ${choices}")
    endif()
endfunction()
_launcher_check_choice(LAUNCHER_SUBSYSTEM windows console)
_launcher_check_choice(LAUNCHER_BUSY_CURSOR launcher child)
_launcher_check_choice(LAUNCHER_ERROR_REPORT brief full)
_launcher_check_choice(LAUNCHER_STARTUP_INFO none forward)
string(TOUPPER "${LAUNCHER_VERSION_INFO}" _version_info)
set(_booleans ON OFF TRUE FALSE YES NO Y N 1 0)
if(NOT _version_info IN_LIST _booleans)
    message(FATAL_ERROR "LAUNCHER_VERSION_INFO = \"${LAUNCHER_VERSION_INFO}\": must be ON or OFF")
endif()
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
set(LAUNCHER_FAILURE_MESSAGE "The application stopped with an error." CACHE STRING
    "First line of the box when a windowed app stops with an error (LAUNCHER_ERROR_REPORT=full)")
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
_launcher_check_text(LAUNCHER_FAILURE_MESSAGE)

# A text as UTF-16 code units, each four hexadecimal digits: the units
# Windows counts, and the escapes a resource script takes for any character.
function(_launcher_utf16 out value)
    string(HEX "${value}" hex)
    string(REGEX MATCHALL ".." bytes "${hex}")
    set(units)
    while(bytes)
        list(POP_FRONT bytes byte)
        math(EXPR lead "0x${byte}")
        if(lead LESS 0x80)
            set(code ${lead})
            set(more 0)
        elseif(lead GREATER_EQUAL 0xF0)
            math(EXPR code "${lead} & 0x07")
            set(more 3)
        elseif(lead GREATER_EQUAL 0xE0)
            math(EXPR code "${lead} & 0x0F")
            set(more 2)
        else()
            math(EXPR code "${lead} & 0x1F")
            set(more 1)
        endif()
        while(more GREATER 0 AND bytes)
            list(POP_FRONT bytes byte)
            math(EXPR code "(${code} << 6) | (0x${byte} & 0x3F)")
            math(EXPR more "${more} - 1")
        endwhile()
        if(code GREATER_EQUAL 0x10000)
            math(EXPR high "0xD800 + ((${code} - 0x10000) >> 10)" OUTPUT_FORMAT HEXADECIMAL)
            math(EXPR low "0xDC00 + ((${code} - 0x10000) & 0x3FF)" OUTPUT_FORMAT HEXADECIMAL)
            list(APPEND units ${high} ${low})
        else()
            math(EXPR code "0x10000 + ${code}" OUTPUT_FORMAT HEXADECIMAL)
            list(APPEND units ${code})
        endif()
    endwhile()
    # 0xD834 or 0x1xxxx: the four digits
    list(TRANSFORM units REPLACE "^0x1?" "")
    set(${out} "${units}" PARENT_SCOPE)
endfunction()

# An AppUserModelID: at most 128 characters, no blanks, quotes or control codes.
if(NOT LAUNCHER_APP_ID STREQUAL "")
    if(LAUNCHER_APP_ID MATCHES "[ \"']" OR LAUNCHER_APP_ID MATCHES "${_control}")
        _launcher_reject(LAUNCHER_APP_ID "must not hold blanks, quotes or control characters")
    endif()
    _launcher_utf16(_units "${LAUNCHER_APP_ID}")
    list(LENGTH _units _length)
    if(_length GREATER 128)
        _launcher_reject(LAUNCHER_APP_ID "is ${_length} characters long: an AppUserModelID has at most 128")
    endif()
endif()

# The version resource's texts, with their defaults, and its version.
if(LAUNCHER_PRODUCT STREQUAL "")
    set(launcher_product "${LAUNCHER_NAME}")
else()
    set(launcher_product "${LAUNCHER_PRODUCT}")
endif()
if(LAUNCHER_DESCRIPTION STREQUAL "")
    set(launcher_description "${launcher_product}")
else()
    set(launcher_description "${LAUNCHER_DESCRIPTION}")
endif()
if(LAUNCHER_VERSION STREQUAL "")
    set(launcher_version "${PROJECT_VERSION}")
else()
    set(launcher_version "${LAUNCHER_VERSION}")
endif()
foreach(variable LAUNCHER_PRODUCT LAUNCHER_DESCRIPTION LAUNCHER_COMPANY LAUNCHER_COPYRIGHT)
    if("${${variable}}" MATCHES "${_control}")
        _launcher_reject(${variable} "must not hold control characters")
    endif()
    _launcher_utf16(_units "${${variable}}")
    list(LENGTH _units _length)
    if(_length GREATER 256)
        _launcher_reject(${variable} "is ${_length} characters long: at most 256")
    endif()
endforeach()
if(NOT launcher_version MATCHES "^[0-9]+(\\.[0-9]+)?(\\.[0-9]+)?(\\.[0-9]+)?$")
    _launcher_reject(LAUNCHER_VERSION "must be one to four numbers separated by dots, such as 2.1.0")
endif()
string(REPLACE "." ";" _version_numbers "${launcher_version}")
foreach(number IN LISTS _version_numbers)
    string(LENGTH "${number}" _digits)
    if(_digits GREATER 5 OR number GREATER 65535)
        _launcher_reject(LAUNCHER_VERSION "must be numbers of at most 65535")
    endif()
endforeach()

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
_launcher_literal(LAUNCHER_FAILURE_MESSAGE_TEXT "${LAUNCHER_FAILURE_MESSAGE}")
_launcher_literal(LAUNCHER_APP_ID_TEXT "${LAUNCHER_APP_ID}")
configure_file(${PROJECT_SOURCE_DIR}/src/settings.h.in ${PROJECT_BINARY_DIR}/generated/settings.h @ONLY)

# The resource script names "launcher.ico", and the build compiles it in this
# directory.
configure_file("${LAUNCHER_ICON}" ${PROJECT_BINARY_DIR}/generated/launcher.ico COPYONLY)

# The version resource, when asked for: its texts as wide string literals of a
# resource script, every character but printable ASCII written as a UTF-16
# escape, which GNU windres and llvm-windres read alike whatever the script's
# code page.
function(_launcher_rc_text out value)
    _launcher_utf16(units "${value}")
    set(text "")
    foreach(unit IN LISTS units)
        math(EXPR code "0x${unit}")
        if(code GREATER_EQUAL 0x20 AND code LESS 0x7F AND NOT code EQUAL 0x22 AND NOT code EQUAL 0x5C)
            string(ASCII ${code} char)
            string(APPEND text "${char}")
        else()
            string(APPEND text "\\x${unit}")
        endif()
    endforeach()
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

if(LAUNCHER_VERSION_INFO)
    set(LAUNCHER_VERSION_STRINGS "")
    foreach(entry "CompanyName=${LAUNCHER_COMPANY}" "FileDescription=${launcher_description}" "FileVersion=${launcher_version}"
                  "InternalName=${LAUNCHER_NAME}" "LegalCopyright=${LAUNCHER_COPYRIGHT}"
                  "OriginalFilename=${LAUNCHER_NAME}.exe" "ProductName=${launcher_product}" "ProductVersion=${launcher_version}")
        string(FIND "${entry}" "=" _at)
        string(SUBSTRING "${entry}" 0 ${_at} _key)
        math(EXPR _at "${_at} + 1")
        string(SUBSTRING "${entry}" ${_at} -1 _value)
        if(NOT _value STREQUAL "")
            _launcher_rc_text(_value "${_value}")
            string(APPEND LAUNCHER_VERSION_STRINGS "            VALUE \"${_key}\", L\"${_value}\"\n")
        endif()
    endforeach()
    # The fixed file information: four numbers, the missing ones 0.
    set(_numbers ${_version_numbers} 0 0 0)
    list(SUBLIST _numbers 0 4 _numbers)
    list(JOIN _numbers "," LAUNCHER_VERSION_NUMBERS)
    configure_file(${PROJECT_SOURCE_DIR}/res/version.rc.in ${PROJECT_BINARY_DIR}/generated/version.rc @ONLY)
endif()
