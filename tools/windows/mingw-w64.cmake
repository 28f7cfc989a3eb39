# Cross compiling for Windows with Debian's mingw-w64 (the POSIX thread model, which std::thread
# needs). SCENARIA_MINGW_TRIPLE picks the target: x86_64-w64-mingw32 (default) or
# i686-w64-mingw32. The programs run here under wine, which CTest uses as the emulator.
if(NOT SCENARIA_MINGW_TRIPLE)
  if(DEFINED ENV{SCENARIA_MINGW_TRIPLE})
    set(SCENARIA_MINGW_TRIPLE $ENV{SCENARIA_MINGW_TRIPLE})
  else()
    set(SCENARIA_MINGW_TRIPLE x86_64-w64-mingw32)
  endif()
endif()
set(SCENARIA_MINGW_TRIPLE ${SCENARIA_MINGW_TRIPLE} CACHE STRING "mingw-w64 target triple")

# try_compile projects read this file again and need the same answers.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES SCENARIA_MINGW_TRIPLE SCENARIA_WINDOWS_DEPS)

set(CMAKE_SYSTEM_NAME Windows)
string(REGEX REPLACE "-.*" "" CMAKE_SYSTEM_PROCESSOR ${SCENARIA_MINGW_TRIPLE})
set(CMAKE_C_COMPILER ${SCENARIA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SCENARIA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${SCENARIA_MINGW_TRIPLE}-windres)

# SCENARIA_WINDOWS_DEPS: where tools/windows/build.sh installed libjpeg-turbo, libpng, giflib and
# googletest built for this target; zlib comes with Debian's libz-mingw-w64-dev.
set(SCENARIA_WINDOWS_DEPS "" CACHE PATH "Prefix of the dependencies built for Windows")
set(CMAKE_FIND_ROOT_PATH ${SCENARIA_WINDOWS_DEPS} /usr/${SCENARIA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained .exe: no libstdc++, libgcc or winpthread DLLs to carry beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(SCENARIA_WINE NAMES wine)
  if(SCENARIA_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${SCENARIA_WINE})
  endif()
endif()
