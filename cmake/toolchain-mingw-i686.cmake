# Cross build for 32-bit Windows with mingw-w64 (the -posix thread model,
# which std::mutex and GoogleTest need). Executables link statically so they
# need no mingw DLLs at run time.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(PLUMEX_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${PLUMEX_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PLUMEX_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${PLUMEX_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PLUMEX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# ctest runs the win32 test programs under Wine through our wrapper.
get_filename_component(_plumex_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR "${_plumex_root}/scripts/wine-run")
