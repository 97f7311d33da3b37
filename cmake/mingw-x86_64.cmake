# The same sources for 64-bit Windows: the Wine test bench on machines whose kernel
# cannot run 32-bit programs (see scripts/winebench.sh).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TELLURIX_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
