# Cross-building the programs for 64-bit Windows with Debian's mingw-w64
# (package g++-mingw-w64-x86-64-posix: the POSIX thread model, which
# std::thread needs). Used by `make windows`:
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(RAWSTATS_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${RAWSTATS_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${RAWSTATS_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${RAWSTATS_MINGW_TRIPLET}-windres)

# Headers and libraries of the target only; programs of the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${RAWSTATS_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
