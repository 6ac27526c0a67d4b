# Cross build for 64-bit Windows with Debian's mingw-w64 (posix threads, so
# that std::thread and std::mutex work):
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VELLOMAR_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VELLOMAR_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELLOMAR_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VELLOMAR_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VELLOMAR_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained exe: the C++ runtime, libgcc and winpthread go inside it,
# so that it imports nothing but the system's own DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Programs built here run under wine when CTest starts them.
find_program(VELLOMAR_WINE wine)
if(VELLOMAR_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VELLOMAR_WINE})
endif()
