# Toolchain for the 32-bit Windows editions: Debian's i686-w64-mingw32 cross
# compiler, with Wine as the emulator that runs the test programs.
#
#   scripts/build-fftw.sh
#   cmake -S . -B build/win-sse -DCMAKE_TOOLCHAIN_FILE=$PWD/cmake/mingw-i686.cmake -DAMBRELITH_EDITION=sse
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

# The win32-thread variant. The posix-thread one would link its winpthread
# into every binary, and that imports GetTickCount64, which Windows XP lacks.
# The plug-in starts no thread; the tests and tools that do use
# tools/os_thread.h, since this variant has no std::thread and no std::mutex.
set(ambrelith_triplet i686-w64-mingw32)
set(CMAKE_C_COMPILER ${ambrelith_triplet}-gcc-win32)
set(CMAKE_CXX_COMPILER ${ambrelith_triplet}-g++-win32)
set(CMAKE_RC_COMPILER ${ambrelith_triplet}-windres)
set(CMAKE_OBJDUMP ${ambrelith_triplet}-objdump CACHE FILEPATH "objdump for the target")

set(CMAKE_FIND_ROOT_PATH /usr/${ambrelith_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every program and the DLL carry their own libgcc and libstdc++:
# the DLL is one drop-in file that imports nothing but system DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under Wine, in a prefix of this build's own.
get_filename_component(ambrelith_wine_run ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${ambrelith_wine_run} ${CMAKE_BINARY_DIR}/wine)
