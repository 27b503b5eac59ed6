# Signs an executable in place with Authenticode (SHA-256), when a code-signing
# certificate is given; with none, does nothing. Run at install time
# , so that the release archives and dist/ hold the signed
# file while the build tree keeps the unsigned one.
#
#   cmake -DEXECUTABLE=... [-DCERTIFICATE=...] [-DPASSWORD_FILE=...] -DSOURCE_DIR=... -P SignExecutable.cmake
# or, with those variables set, include()d by an install script.
#
# CERTIFICATE    a PKCS#12 file; else $ENV{LAUNCHER_SIGNING_CERTIFICATE}
# PASSWORD_FILE  a file holding its password; else $ENV{LAUNCHER_SIGNING_PASSWORD_FILE};
#                else the password is $ENV{LAUNCHER_SIGNING_PASSWORD}, or empty
#
# The signing time is the commit's own time, or $ENV{SOURCE_DATE_EPOCH}: the
# same commit signed with the same certificate gives the same bytes. No time
# stamp is added. On any failure the executable is removed, so that no
# unsigned file stands where a signed one belongs.
cmake_minimum_required(VERSION 3.25)

foreach(setting CERTIFICATE PASSWORD_FILE)
    if(NOT ${setting} AND DEFINED ENV{LAUNCHER_SIGNING_${setting}})
        set(${setting} "$ENV{LAUNCHER_SIGNING_${setting}}")
    endif()
endforeach()
if(NOT CERTIFICATE)
    return()
endif()

function(refuse why)
    file(REMOVE "${EXECUTABLE}" "${EXECUTABLE}.signing")
    message(FATAL_ERROR "Signing ${EXECUTABLE}: ${why}")
endfunction()

if(NOT EXISTS "${CERTIFICATE}" OR IS_DIRECTORY "${CERTIFICATE}")
    refuse("the signing certificate \"${CERTIFICATE}\" does not exist")
endif()
if(PASSWORD_FILE)
    if(NOT EXISTS "${PASSWORD_FILE}")
        refuse("the password file \"${PASSWORD_FILE}\" does not exist")
    endif()
    set(openssl_password "file:${PASSWORD_FILE}")
    set(osslsigncode_password -readpass "${PASSWORD_FILE}")
elseif(DEFINED ENV{LAUNCHER_SIGNING_PASSWORD})
    # From the environment to each tool, never on a command line.
    set(openssl_password "env:LAUNCHER_SIGNING_PASSWORD")
    set(osslsigncode_password -readpass /dev/stdin)
else()
    set(openssl_password "pass:")
    set(osslsigncode_password)
endif()

# The certificate must open with this password and be meant for code signing.
execute_process(COMMAND openssl pkcs12 -in "${CERTIFICATE}" -passin "${openssl_password}" -nokeys -clcerts
                RESULT_VARIABLE failed OUTPUT_VARIABLE certificate ERROR_QUIET)
if(failed)
    refuse("the signing certificate \"${CERTIFICATE}\" cannot be opened: wrong password, or not a PKCS#12 file")
endif()
set(pem ${EXECUTABLE}.certificate.pem)
file(WRITE "${pem}" "${certificate}")
execute_process(COMMAND openssl x509 -in "${pem}" -noout -ext extendedKeyUsage
                RESULT_VARIABLE failed OUTPUT_VARIABLE usage ERROR_QUIET)
file(REMOVE "${pem}")
if(failed OR NOT usage MATCHES "Code Signing")
    refuse("the signing certificate \"${CERTIFICATE}\" is not for code signing: its extended key usage lacks Code Signing")
endif()

include(${CMAKE_CURRENT_LIST_DIR}/ReleaseTime.cmake)
if(NOT release_time)
    refuse("no signing time: not a git checkout, and SOURCE_DATE_EPOCH is not set to a number of seconds")
endif()

set(sign osslsigncode sign -pkcs12 "${CERTIFICATE}" ${osslsigncode_password} -h sha256 -time ${release_time}
         -in "${EXECUTABLE}" -out "${EXECUTABLE}.signing")
if(osslsigncode_password STREQUAL "-readpass;/dev/stdin")
    set(sign sh -c [[printf %s "$LAUNCHER_SIGNING_PASSWORD" | "$@"]] sh ${sign})
endif()
file(REMOVE "${EXECUTABLE}.signing")
execute_process(COMMAND ${sign} RESULT_VARIABLE failed OUTPUT_QUIET ERROR_VARIABLE errors)
if(failed)
    refuse("osslsigncode failed:\n${errors}")
endif()
file(CHMOD "${EXECUTABLE}.signing" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                                WORLD_READ WORLD_EXECUTE)
file(RENAME "${EXECUTABLE}.signing" "${EXECUTABLE}")
message(STATUS "Signed: ${EXECUTABLE}")
