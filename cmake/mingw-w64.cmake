# Cross-compiling for Windows with MinGW-w64; the toolchain files of the two
# targets name the compilers' prefix (TAVIX_MINGW) and the processor.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${TAVIX_MINGW}-gcc)
set(CMAKE_CXX_COMPILER ${TAVIX_MINGW}-g++)
set(CMAKE_RC_COMPILER ${TAVIX_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TAVIX_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
