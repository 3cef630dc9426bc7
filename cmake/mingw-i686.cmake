# TavixSetup.exe, the product: 32-bit Windows.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TAVIX_MINGW i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
