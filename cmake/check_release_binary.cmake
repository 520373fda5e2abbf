# Checks the release Orvandi.exe: a 32-bit GUI program that runs from its folder alone (it imports
# only DLLs every Windows has, no MinGW runtime DLL) and stays small.
#   cmake -DEXE=path/Orvandi.exe -DOBJDUMP=i686-w64-mingw32-objdump -P check_release_binary.cmake
# Optional: -DMAX_BYTES=... (default 200 KB).
cmake_minimum_required(VERSION 3.25)

# DLLs that come with Windows (7 and later) and that a program like this may import.
set(windows_dlls
    advapi32.dll comctl32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll ntdll.dll
    ole32.dll oleaut32.dll shell32.dll shlwapi.dll user32.dll uxtheme.dll version.dll)

if(NOT DEFINED MAX_BYTES)
    math(EXPR MAX_BYTES "200 * 1024")
endif()

if(NOT EXE OR NOT OBJDUMP)
    message(FATAL_ERROR "usage: cmake -DEXE=Orvandi.exe -DOBJDUMP=objdump -P ${CMAKE_SCRIPT_MODE_FILE}")
endif()
if(NOT EXISTS "${EXE}")
    message(FATAL_ERROR "release binary check: ${EXE} does not exist")
endif()

execute_process(COMMAND "${OBJDUMP}" -p "${EXE}"
                OUTPUT_VARIABLE headers ERROR_VARIABLE objdump_error RESULT_VARIABLE objdump_result)
if(NOT objdump_result EQUAL 0)
    message(FATAL_ERROR "release binary check: ${OBJDUMP} -p ${EXE} failed (${objdump_result}): "
                        "${objdump_error}")
endif()

set(problems "")

if(NOT headers MATCHES "file format pei-i386" OR NOT headers MATCHES "Magic[ \t]+010b")
    string(REGEX MATCH "file format [^\n]*" format "${headers}")
    list(APPEND problems "not a 32-bit x86 program (PE32, pei-i386): ${format}")
endif()

string(REGEX MATCH "Subsystem[ \t]+([0-9a-fA-F]+)[^\n]*" subsystem_line "${headers}")
if(NOT CMAKE_MATCH_1 MATCHES "^0*2$")
    list(APPEND problems "not a Windows GUI program (subsystem 2): '${subsystem_line}'")
endif()

# Every imported DLL, delay-loaded ones included, must be one of Windows' own.
string(REGEX MATCHALL "DLL Name: [^\n]+" import_lines "${headers}")
set(imports "")
foreach(line IN LISTS import_lines)
    string(REGEX REPLACE "^DLL Name: *" "" dll "${line}")
    string(STRIP "${dll}" dll)
    list(APPEND imports "${dll}")
    string(TOLOWER "${dll}" dll_lower)
    if(NOT dll_lower IN_LIST windows_dlls)
        list(APPEND problems "imports ${dll}, which is not a Windows DLL (link it statically)")
    endif()
endforeach()
if(NOT imports)
    list(APPEND problems "no imports found in the objdump output")
endif()

file(SIZE "${EXE}" bytes)
if(bytes GREATER MAX_BYTES)
    list(APPEND problems "${bytes} bytes, more than the ${MAX_BYTES} allowed")
endif()

if(problems)
    list(JOIN problems "\n  " text)
    message(FATAL_ERROR "release binary check failed for ${EXE}:\n  ${text}")
endif()
list(REMOVE_DUPLICATES imports)
list(JOIN imports ", " import_text)
message(STATUS "${EXE}: PE32 GUI program, ${bytes} bytes, imports ${import_text}")
