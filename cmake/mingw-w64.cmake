# Cross-building for Windows with MinGW-w64; included by the toolchain file of each
# processor, which sets MINGW_TRIPLET first.
set(CMAKE_SYSTEM_NAME Windows)

# The -posix compilers: the win32 thread model of GCC 12 lacks std::mutex, which
# OpenCV needs.
set(CMAKE_C_COMPILER ${MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLET}-windres)

# Libraries and headers for the target only; programs (Python, the code generators)
# from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
