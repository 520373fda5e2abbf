# The release package: a ZIP holding Orvandi.exe, the empty OCX folder it lists its controls
# from, and the Italian read-me.
#   cmake --build --preset win32 --target package     (or: cd build/win32 && cpack)
# Include after the Orvandi target exists.

# The version comes from the same header as the executable's VERSIONINFO.
file(STRINGS ${PROJECT_SOURCE_DIR}/ui/res/version.h version_line
     REGEX "^#define ORVANDI_VERSION_STR \"[^\"]+\"")
string(REGEX REPLACE ".*\"([^\"]+)\".*" "\\1" orvandi_version "${version_line}")
if(NOT orvandi_version)
    message(FATAL_ERROR "packaging: no ORVANDI_VERSION_STR in ui/res/version.h")
endif()

install(TARGETS Orvandi RUNTIME DESTINATION .)
# The program lists <its folder>\OCX\*.ocx: ship the folder, empty, ready for the user's controls.
install(DIRECTORY DESTINATION OCX)
install(FILES ${PROJECT_SOURCE_DIR}/ui/res/LEGGIMI.txt DESTINATION .)

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(orvandi_platform_tag win32)
else()
    set(orvandi_platform_tag win64)
endif()

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Orvandi)
set(CPACK_PACKAGE_VENDOR Brivanto)
set(CPACK_PACKAGE_VERSION ${orvandi_version})
set(CPACK_PACKAGE_FILE_NAME Orvandi-${orvandi_version}-${orvandi_platform_tag})
# Unzipped, everything sits in one folder named after the package.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)
