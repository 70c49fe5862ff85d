# Cross-compiles for 32-bit Windows: the 64-bit toolchain file for i686.
set(FW_MINGW_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
