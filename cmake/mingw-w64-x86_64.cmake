# Cross-building the Windows programs on Debian: 64-bit MinGW-w64 with the
# posix thread model (std::thread, std::mutex), the C++ and threads runtimes
# linked in, so that the .exe files run on a bare Windows without DLLs next to
# them; tests and programs run under Wine's 64-bit loader.
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake ...
# (scripts/build-windows.sh does it all.)
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CT_MINGW_TRIPLE x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${CT_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${CT_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${CT_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${CT_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Debian installs the 64-bit loader in Wine's library folder, not on PATH.
find_program(CT_WINE64 NAMES wine64 PATHS /usr/lib/wine /usr/lib64/wine /opt/wine-stable/bin)
if(CT_WINE64)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CT_WINE64})
endif()
