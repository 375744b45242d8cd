# GoogleTest for the test programs. Natively Debian's packaged build; in a cross
# build it is compiled here from Debian's source in /usr/src/googletest, with the
# edition's flags like everything else.
if(NOT CMAKE_CROSSCOMPILING)
  find_package(GTest REQUIRED)
  return()
endif()

set(AMBRELITH_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest source tree")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
# Windows threads rather than the toolchain's pthread emulation.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
add_subdirectory(${AMBRELITH_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# GoogleTest's port settings for the win32-thread toolchain, ahead of its own
# (see tests/support/googletest): for GoogleTest itself and every test.
target_include_directories(gtest BEFORE PUBLIC ${AMBRELITH_SOURCE_ROOT}/tests/support/googletest)
if(NOT TARGET GTest::gtest)
  add_library(GTest::gtest ALIAS gtest)
endif()
