# The release Orvandi.exe from the outside: a 32-bit Windows GUI program that imports only
# KnownDLLs (Windows loads those from the system folder alone, never from beside the program, and
# no MinGW runtime DLL is needed), stays small, and carries its icon, Italian version block and
# manifest (read back from the file's resources).
#   cmake -DEXE=Orvandi.exe -DTOOLS=i686-w64-mingw32- -P release_binary.cmake
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND ${TOOLS}objdump -p ${EXE} OUTPUT_VARIABLE headers COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${TOOLS}windres -i ${EXE} -O rc OUTPUT_VARIABLE resources
                COMMAND_ERROR_IS_FATAL ANY)
set(known_dlls advapi32.dll comdlg32.dll gdi32.dll imm32.dll kernel32.dll msvcrt.dll ole32.dll
    oleaut32.dll shell32.dll shlwapi.dll user32.dll)
set(problems "")
if(NOT headers MATCHES "file format pei-i386" OR NOT headers MATCHES "Subsystem[ \t]+0*2[ \t]")
    list(APPEND problems "not a 32-bit Windows GUI program")
endif()
foreach(expected [["\020\020\020\000", 1, 4,]] "Has 1 elements" [[BLOCK "041004B0"]]
        [[VALUE "Translation", 0x410, 1200]] [[VALUE "FileVersion", "1.00"]]
        [[VALUE "ProductVersion", "1.00"]] [[VALUE "ProductName", "Orvandi"]]
        [[VALUE "InternalName", "Orvandi"]] [[VALUE "OriginalFilename", "Orvandi.exe"]]
        "1 24 /* RT_MANIFEST */" [[level=""requireAdministrator""]]
        ">PerMonitorV2, PerMonitor</dpiAwareness>")
    string(FIND "${resources}" "${expected}" at)
    if(at EQUAL -1)
        list(APPEND problems "no resource with '${expected}'")
    endif()
endforeach()
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${headers}")
list(TRANSFORM imports REPLACE "DLL Name: " "")
foreach(dll IN LISTS imports)
    string(TOLOWER "${dll}" lower)
    if(NOT lower IN_LIST known_dlls)
        list(APPEND problems "imports ${dll}, which is not a KnownDLL")
    endif()
endforeach()
file(SIZE ${EXE} bytes)
if(bytes GREATER 204800)
    list(APPEND problems "${bytes} bytes, more than 200 KB")
endif()
if(problems OR NOT imports)
    list(JOIN problems "\n  " problems)
    message(FATAL_ERROR "${EXE}:\n  ${problems}\n  (imports: ${imports})")
endif()
message(STATUS "${EXE}: PE32 GUI program, ${bytes} bytes, imports ${imports}")
