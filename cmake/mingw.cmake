# Shared part of the cross toolchains: MinGW-w64's -posix compilers (the
# -win32 ones have no std::mutex, which GoogleTest needs), linked statically so
# that no MinGW DLL has to travel with an exe.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${ZEPH_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZEPH_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ZEPH_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ZEPH_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run")
set(ZEPH_OBJDUMP ${ZEPH_TRIPLE}-objdump)
