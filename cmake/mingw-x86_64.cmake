# Cross compile for 64-bit Windows with Debian's mingw-w64 (posix thread model). Used to run the
# tests where the host cannot execute 32-bit programs (and so cannot run 32-bit Wine); the
# shipped program is the 32-bit build.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
