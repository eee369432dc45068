# Shared part of the MinGW-w64 cross toolchains. The -posix compiler variants
# are used because the -win32 ones lack std::mutex, which GoogleTest needs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER   ${VORPA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VORPA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${VORPA_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VORPA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
