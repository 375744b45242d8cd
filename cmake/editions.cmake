# The two Windows editions, built from one source tree into separate build folders:
#
#   -DAMBRELITH_EDITION=sse       our code in SSE arithmetic (requires SSE), FFTW's SIMD build
#   -DAMBRELITH_EDITION=standard  x87 arithmetic only, no SSE instruction anywhere, FFTW's scalar build
#
# The edition reaches the code as AMBRELITH_EDITION_SSE=1 or AMBRELITH_EDITION_STANDARD=1,
# for the few texts that differ. Native builds have no edition.
set(AMBRELITH_EDITION "" CACHE STRING "Windows edition: sse or standard")

if(NOT WIN32)
  return()
endif()
enable_language(RC)

if(AMBRELITH_EDITION STREQUAL "sse")
  # -mstackrealign: the host may call in with a stack aligned to 4 bytes only, and
  # SSE code keeps 16-byte values on the stack.
  set(ambrelith_float_flags -msse -mfpmath=sse -mstackrealign)
  add_compile_definitions(AMBRELITH_EDITION_SSE=1)
  set(AMBRELITH_DLL_NAME dsp_ambrelith_sse)
elseif(AMBRELITH_EDITION STREQUAL "standard")
  set(ambrelith_float_flags -mfpmath=387 -mno-sse)
  add_compile_definitions(AMBRELITH_EDITION_STANDARD=1)
  set(AMBRELITH_DLL_NAME dsp_ambrelith)
else()
  message(FATAL_ERROR "A Windows build needs -DAMBRELITH_EDITION=sse or -DAMBRELITH_EDITION=standard")
endif()

# Everything compiled in this build, GoogleTest included, uses the edition's arithmetic.
add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:${ambrelith_float_flags}>")

# The edition's FFTW, made by scripts/build-fftw.sh, unless another is named.
if(NOT AMBRELITH_FFTW_DIR)
  set(AMBRELITH_FFTW_DIR ${CMAKE_SOURCE_DIR}/build/fftw/${AMBRELITH_EDITION}
      CACHE PATH "Prefix of a static single-precision FFTW build" FORCE)
endif()
if(NOT EXISTS ${AMBRELITH_FFTW_DIR}/lib/libfftw3f.a)
  message(FATAL_ERROR "No FFTW in ${AMBRELITH_FFTW_DIR}: run scripts/build-fftw.sh ${AMBRELITH_EDITION}")
endif()

# Text that the host or the user sees is code page 936 at run time. The sources
# stay UTF-8: string literals are converted by the compiler, and the resource
# compiler reads its scripts as UTF-8 (it stores their text as UTF-16).
function(ambrelith_user_text target)
  target_compile_options(${target} PRIVATE
    "$<$<COMPILE_LANGUAGE:C,CXX>:-finput-charset=UTF-8;-fexec-charset=CP936>"
    "$<$<COMPILE_LANGUAGE:RC>:--codepage=65001>")
endfunction()

# Checks of a finished Windows binary, run by ctest (see cmake/check_binary.cmake):
#   SYSTEM_IMPORTS  its import table names only system DLLs
#   NO_SSE          its disassembly holds no SSE register or instruction
#   SSE1_ONLY       it uses no instruction beyond SSE (no SSE2 and later)
#   EXPORTS=a,b     it exports exactly these undecorated names
#   PLUGIN_IMPORTS  it imports from KERNEL32, USER32, COMDLG32 and msvcrt only,
#                   and nothing that Windows XP lacks
function(ambrelith_check_binary test_name target check)
  add_test(NAME ${test_name}
    COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DBINARY=$<TARGET_FILE:${target}>
            -DCHECK=${check} -P ${AMBRELITH_SOURCE_ROOT}/cmake/check_binary.cmake)
  # They run on any machine, Wine or not.
  set_tests_properties(${test_name} PROPERTIES LABELS reads_binary)
endfunction()
