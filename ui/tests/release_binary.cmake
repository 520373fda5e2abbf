# The release Orvandi.exe from the outside: a 32-bit GUI program importing only KnownDLLs, run from
# the paging file when started from a share, with its checksum right, small, and carrying its icon,
# Italian version block and manifest.
#   cmake -DEXE=Orvandi.exe -DTOOLS=i686-w64-mingw32- -P release_binary.cmake
cmake_minimum_required(VERSION 3.25)
set(ENV{TZ} UTC)  # objdump shows the link time (none: 0) in local time
execute_process(COMMAND ${TOOLS}objdump -p ${EXE} OUTPUT_VARIABLE headers COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${TOOLS}windres -i ${EXE} -O rc OUTPUT_VARIABLE resources
                COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND python3 ${CMAKE_CURRENT_LIST_DIR}/../../cmake/run_from_swap.py --check
                ${EXE} COMMAND_ERROR_IS_FATAL ANY)
set(problems "")
foreach(expected "file format pei-i386" "Subsystem[ \t]+0*2[ \t]" "Time/Date[ \t]+Thu Jan  1 00:00:00 1970"
        [[\\020\\020\\020\\000", 1, 4,]]
        "Has 1 elements" [[BLOCK "041004B0"]] [[VALUE "Translation", 0x410, 1200]]
        [[VALUE "FileVersion", "1.00"]] [[VALUE "ProductVersion", "1.00"]]
        [[VALUE "ProductName", "Orvandi"]] [[VALUE "InternalName", "Orvandi"]]
        [[VALUE "OriginalFilename", "Orvandi\.exe"]] [[1 24 /\* RT_MANIFEST \*/]]
        [[level=""requireAdministrator""]] ">PerMonitorV2, PerMonitor</dpiAwareness>")
    if(NOT "${headers}${resources}" MATCHES "${expected}")
        list(APPEND problems "no '${expected}' in its headers or resources")
    endif()
endforeach()
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${headers}")
list(TRANSFORM imports REPLACE "DLL Name: " "")
foreach(dll IN LISTS imports)
    string(TOLOWER "${dll}" lower)
    if(NOT lower MATCHES "^(advapi32|comdlg32|gdi32|imm32|kernel32|msvcrt|ole32|oleaut32|shell32|shlwapi|user32)\\.dll$")
        list(APPEND problems "imports ${dll}, which is not a KnownDLL")
    endif()
endforeach()
file(SIZE ${EXE} bytes)
if(bytes GREATER 131072 OR NOT imports)
    list(APPEND problems "${bytes} bytes (128 KB at most)")
endif()
if(problems)
    list(JOIN problems "\n  " problems)
    message(FATAL_ERROR "${EXE}:\n  ${problems}\n  (imports: ${imports})")
endif()
message(STATUS "${EXE}: PE32 GUI program, ${bytes} bytes, imports ${imports}")
