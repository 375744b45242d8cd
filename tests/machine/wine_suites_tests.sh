#!/usr/bin/env bash
# A Windows build on a machine that runs no 32-bit programs (the answer forced,
# so this runs on any machine): every suite that needs Wine is one test that
# ctest skips with the reason, ctest ends green, no test program is run at
# build time, and the checks that read the binaries are still there. Forced the
# other way, the same build runs every suite under Wine again.
#
#   wine_suites_tests.sh WORK-DIR
#
# Only configures: FFTW is an empty stand-in, and nothing is built.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$1
build="$work/win-sse"
rm -rf "$work"
mkdir -p "$work/fftw/lib" "$work/fftw/include"
: >"$work/fftw/lib/libfftw3f.a"

fail() {
  echo "FAILED: $*"
  exit 1
}
configure() {
  AMBRELITH_RUNS_32_BIT=$1 cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
    -DAMBRELITH_EDITION=sse -DAMBRELITH_FFTW_DIR="$work/fftw" -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$work/configure.log" 2>&1 ||
    { cat "$work/configure.log" && fail "configuring with AMBRELITH_RUNS_32_BIT=$1"; }
}
# Discovery after a build shows in the test files as an include per program.
discovers_at_build_time() { grep -rqs --include=CTestTestfile.cmake '_include.cmake' "$build"; }

configure no
listed=$(ctest --test-dir "$build" -N -LE reads_binary | sed -nE 's/^Total Tests: ([0-9]+)$/\1/p')
checks=$(ctest --test-dir "$build" -N -L reads_binary | sed -nE 's/^Total Tests: ([0-9]+)$/\1/p')
ctest --test-dir "$build" -LE reads_binary >"$work/ctest.log" 2>&1 || { cat "$work/ctest.log" && fail "ctest"; }
skipped=$(grep -c '\*\*\*Skipped' "$work/ctest.log" || true)
if [ "$listed" -eq 0 ] || [ "$skipped" -ne "$listed" ]; then fail "$skipped of $listed suites skipped"; fi
[ "$checks" -gt 0 ] || fail "no check that reads the binaries"
grep -q '100% tests passed, 0 tests failed' "$work/ctest.log" || fail "ctest did not end green"
reason='skipped, needs Wine: this machine runs no 32-bit programs: AMBRELITH_RUNS_32_BIT=no says so'
[ "$(grep -c "^$reason\$" "$build/Testing/Temporary/LastTest.log")" -eq "$listed" ] || fail "the reason is missing"
! discovers_at_build_time || fail "a test program would run at build time"

configure yes
discovers_at_build_time || fail "with 32-bit programs, no suite is discovered"
! grep -rqs --include=CTestTestfile.cmake 'needs Wine' "$build" || fail "with 32-bit programs, a suite is skipped"
