# The release package, made by cmake/package.py:
#   cmake --build --preset win32 --target release
# gives Orvandi-<version>-win32.zip and its .sha256 in the build folder. Configured with
# -DORVANDI_SIGN_CERT=cert.pem -DORVANDI_SIGN_KEY=key.pem (and optionally
# -DORVANDI_SIGN_TIMESTAMP_URL=url), Orvandi.exe is signed before it goes into the ZIP.
# Include after the Orvandi target exists.

# The version comes from the same header as the executable's VERSIONINFO.
file(STRINGS ${PROJECT_SOURCE_DIR}/ui/res/version.h version_line
     REGEX "^#define ORVANDI_VERSION_STR \"[^\"]+\"")
string(REGEX REPLACE ".*\"([^\"]+)\".*" "\\1" orvandi_version "${version_line}")

set(ORVANDI_SIGN_CERT "" CACHE FILEPATH "PEM certificate to sign Orvandi.exe with")
set(ORVANDI_SIGN_KEY "" CACHE FILEPATH "PEM private key of that certificate")
set(ORVANDI_SIGN_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamp server for the signature")
set(signing "")
if(ORVANDI_SIGN_CERT OR ORVANDI_SIGN_KEY)
    if(NOT ORVANDI_SIGN_CERT OR NOT ORVANDI_SIGN_KEY)
        message(FATAL_ERROR "Signing needs both ORVANDI_SIGN_CERT and ORVANDI_SIGN_KEY")
    endif()
    set(signing ${ORVANDI_SIGN_CERT} ${ORVANDI_SIGN_KEY} ${ORVANDI_SIGN_TIMESTAMP_URL})
endif()

add_custom_target(release
    COMMAND python3 ${PROJECT_SOURCE_DIR}/cmake/package.py $<TARGET_FILE:Orvandi>
            ${PROJECT_SOURCE_DIR}/ui/res/LEGGIMI.txt ${orvandi_version} ${CMAKE_BINARY_DIR}
            ${PROJECT_SOURCE_DIR} ${signing}
    DEPENDS Orvandi VERBATIM)
