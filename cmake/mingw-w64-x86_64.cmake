# Cross-compiles for 64-bit Windows on Linux with Debian's mingw-w64 (g++-mingw-w64-x86-64);
# the programs built run on this machine under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(QUORVIN_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUORVIN_MINGW_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${QUORVIN_MINGW_TRIPLET}-g++)
set(CMAKE_RC_COMPILER ${QUORVIN_MINGW_TRIPLET}-windres)
set(CMAKE_DLLTOOL ${QUORVIN_MINGW_TRIPLET}-dlltool)

set(CMAKE_FIND_ROOT_PATH /usr/${QUORVIN_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests of the Windows build run under Wine. Debian's wine64 package alone installs the loader
# as /usr/lib/wine/wine64; the wine package adds the `wine` command.
find_program(QUORVIN_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(QUORVIN_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QUORVIN_WINE})
endif()
