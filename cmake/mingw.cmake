# Shared part of the cross toolchains; CMakeLists.txt links everything they
# build statically. The programs that ship are built with MinGW-w64's -win32
# compilers: the -posix ones link in a thread runtime that calls kernel32
# functions Windows XP and older do not have, and such a program does not even
# start there. GoogleTest needs std::mutex, which only the -posix
# compilers have, so the tree of the Wine tests (ZEPH_THREADS=posix) uses those.
set(CMAKE_SYSTEM_NAME Windows)
if(NOT ZEPH_THREADS)
    set(ZEPH_THREADS win32)
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ZEPH_THREADS)
set(CMAKE_C_COMPILER ${ZEPH_TRIPLE}-gcc-${ZEPH_THREADS})
set(CMAKE_CXX_COMPILER ${ZEPH_TRIPLE}-g++-${ZEPH_THREADS})
set(CMAKE_RC_COMPILER ${ZEPH_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ZEPH_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run")
set(ZEPH_OBJDUMP ${ZEPH_TRIPLE}-objdump)
