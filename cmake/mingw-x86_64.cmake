# A 64-bit build of the same sources, which the tests drive under wine64 on
# hosts that cannot run Wine's 32-bit loader.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TAVIX_MINGW x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
