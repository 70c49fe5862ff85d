# Cross-compiles for Windows with the posix-thread MinGW-w64 compilers (the
# win32 thread model has no std::mutex, which GoogleTest needs): 64-bit
# (x86_64) unless FW_MINGW_PROCESSOR says i686 (cmake/mingw-w64-i686.cmake).
if(NOT FW_MINGW_PROCESSOR)
    set(FW_MINGW_PROCESSOR x86_64)
endif()
set(triple ${FW_MINGW_PROCESSOR}-w64-mingw32)

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${FW_MINGW_PROCESSOR})

set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
