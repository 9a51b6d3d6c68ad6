# Cross compile for 32-bit Windows with Debian's mingw-w64 (posix thread model).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(KW_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER ${KW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# ctest runs the test programs through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine)
