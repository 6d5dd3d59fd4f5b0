# Cross-building for 64-bit Windows with Debian's mingw-w64 (posix threads:
# std::thread and std::mutex need them). The runtime is linked statically,
# so a test program runs under Wine, or on Windows, without DLLs beside it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(tidewell_mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${tidewell_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${tidewell_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${tidewell_mingw}-windres)
# Libraries from Debian's mingw packages, and ours built into the tree.
set(CMAKE_FIND_ROOT_PATH /usr/${tidewell_mingw} ${CMAKE_CURRENT_LIST_DIR}/../build/windows-deps/prefix)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# zlib as libz.a, not through its DLL.
set(ZLIB_USE_STATIC_LIBS ON)
