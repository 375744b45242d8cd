# Toolchain for the 32-bit Windows editions: Debian's i686-w64-mingw32 cross
# compiler, with Wine as the emulator that runs the test programs.
#
#   scripts/build-fftw.sh
#   cmake -S . -B build/win-sse -DCMAKE_TOOLCHAIN_FILE=$PWD/cmake/mingw-i686.cmake -DAMBRELITH_EDITION=sse
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

# The posix-thread variant: it has std::thread and std::mutex, and its
# winpthread is linked statically below like the rest of the runtime.
set(ambrelith_triplet i686-w64-mingw32)
set(CMAKE_C_COMPILER ${ambrelith_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ambrelith_triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${ambrelith_triplet}-windres)
set(CMAKE_OBJDUMP ${ambrelith_triplet}-objdump CACHE FILEPATH "objdump for the target")

set(CMAKE_FIND_ROOT_PATH /usr/${ambrelith_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every program and the DLL carry their own libgcc, libstdc++ and winpthread:
# the DLL is one drop-in file that imports nothing but system DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under Wine, in a prefix of this build's own.
get_filename_component(ambrelith_wine_run ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${ambrelith_wine_run} ${CMAKE_BINARY_DIR}/wine)
