# 32-bit Windows with MinGW-w64. The release uses the win32 thread model: the program starts no
# threads, and the posix model would link the winpthread library into every exception path (about
# 30 KB). The test build uses the posix model, which GoogleTest needs:
#   -DORVANDI_MINGW_THREADS=posix
set(ORVANDI_MINGW_THREADS win32 CACHE STRING "Thread model of the MinGW-w64 compiler: win32 or posix")
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-${ORVANDI_MINGW_THREADS})
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-${ORVANDI_MINGW_THREADS})
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(ORVANDI_TOOLS i686-w64-mingw32-)  # objdump, windres
