# The shipped programs: 32-bit x86 Windows.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
# Their tests run under 32-bit Wine, on machines that run 32-bit x86 code, natively or
# through qemu-i386 (the tests' build asks scripts/can-run-32bit, and scripts/test-windows
# runs them the way it answered; elsewhere they report themselves skipped).
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine)
