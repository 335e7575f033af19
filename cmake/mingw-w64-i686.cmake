# The shipped programs: 32-bit x86 Windows.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
# No test runs them: this machine executes no 32-bit x86 code, so Wine cannot start
# them (the x86_64 build runs the same tests instead).
