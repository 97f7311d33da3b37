# Cross build for Windows with the mingw-w64 posix-thread compilers (GoogleTest
# needs std::mutex, which the win32-thread ones lack). TELLURIX_TRIPLET is set by
# the arch-specific toolchain file that includes this one.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${TELLURIX_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TELLURIX_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TELLURIX_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TELLURIX_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
