# The shipped program: MinGW-w64's win32 thread model, which links no winpthread (32 KB, and it
# imports GetTickCount64, which Windows XP lacks).
set(VELMORA_MINGW_THREADS win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686.cmake)
