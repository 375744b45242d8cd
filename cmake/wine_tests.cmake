# The test programs of a Windows build run under Wine, and Wine runs only on a
# machine that runs 32-bit programs (scripts/runs-32-bit.sh tells, once per
# configure). Where it does not, each suite that needs Wine is registered as
# one test that ctest reports as skipped, with the reason, and no test program
# is run at build time (GoogleTest's discovery would run each one); the checks
# that only read the binaries are registered as everywhere. Native builds run
# their programs directly.
set(ambrelith_runs_test_programs ON)
if(CMAKE_CROSSCOMPILING)
  execute_process(COMMAND bash ${AMBRELITH_SOURCE_ROOT}/scripts/runs-32-bit.sh
    OUTPUT_VARIABLE ambrelith_no_32_bit_reason OUTPUT_STRIP_TRAILING_WHITESPACE
    ERROR_VARIABLE errors RESULT_VARIABLE status)
  # A "does not" comes with its reason; one without it is a failure of the check.
  if(status EQUAL 1 AND NOT "${ambrelith_no_32_bit_reason}" STREQUAL "")
    set(ambrelith_runs_test_programs OFF)
    message(STATUS "Suites under Wine skipped: ${ambrelith_no_32_bit_reason}")
  elseif(NOT status EQUAL 0)
    message(FATAL_ERROR "scripts/runs-32-bit.sh gave no answer (status ${status}). ${errors}")
  endif()
endif()

# ambrelith_discover_tests(TARGET [gtest_discover_tests options]): every case
# of a GoogleTest program as a test of its own.
function(ambrelith_discover_tests target)
  if(ambrelith_runs_test_programs)
    gtest_discover_tests(${target} ${ARGN})
  else()
    ambrelith_program_test(${target} ${target})
  endif()
endfunction()

# ambrelith_program_test(NAME COMMAND [ARGS...]): add_test for a command that
# runs a Windows program.
function(ambrelith_program_test name)
  if(ambrelith_runs_test_programs)
    add_test(NAME ${name} COMMAND ${ARGN})
  else()
    add_test(NAME ${name} COMMAND ${CMAKE_COMMAND} -E echo "skipped, needs Wine: ${ambrelith_no_32_bit_reason}")
    set_tests_properties(${name} PROPERTIES SKIP_REGULAR_EXPRESSION "^skipped, needs Wine: ")
  endif()
endfunction()
