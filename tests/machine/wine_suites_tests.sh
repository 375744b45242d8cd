#!/usr/bin/env bash
# A Windows build where the machine runs no 32-bit programs (forced, so this
# runs anywhere): each suite that needs Wine is one test that ctest skips with
# the reason and ctest ends green; no test program runs at build time; the
# checks that read the binaries remain. Forced the other way, every suite runs.
#
#   wine_suites_tests.sh WORK-DIR     (configures only: FFTW is an empty stand-in)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$1
build="$work/win-sse"
rm -rf "$work" && mkdir -p "$work/fftw/lib" "$work/fftw/include" && : >"$work/fftw/lib/libfftw3f.a"
fail() { echo "FAILED: $*" && exit 1; }
configure() {
  AMBRELITH_RUNS_32_BIT=$1 cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
    -DAMBRELITH_EDITION=sse -DAMBRELITH_FFTW_DIR="$work/fftw" >"$work/configure.log" 2>&1 || fail "$(cat "$work/configure.log")"
}
count() { ctest --test-dir "$build" -N "$@" | sed -nE 's/^Total Tests: ([0-9]+)$/\1/p'; }
in_test_files() { grep -rqs --include=CTestTestfile.cmake "$1" "$build"; }

configure no
suites=$(count -LE reads_binary)
ctest --test-dir "$build" -LE reads_binary >"$work/ctest.log" 2>&1 || fail "$(cat "$work/ctest.log")"
reason='^skipped, needs Wine: this machine runs no 32-bit programs: AMBRELITH_RUNS_32_BIT=no says so$'
if [ "$suites" -eq 0 ] || [ "$(grep -c '\*\*\*Skipped' "$work/ctest.log")" -ne "$suites" ] ||
  [ "$(grep -c "$reason" "$build/Testing/Temporary/LastTest.log")" -ne "$suites" ] ||
  [ "$(count -L reads_binary)" -eq 0 ]; then fail "$(cat "$work/ctest.log")"; fi
# Discovery after a build, which runs each program, shows as an include per program.
! in_test_files '_include.cmake' || fail "a test program would run at build time"

configure yes
if ! in_test_files '_include.cmake' || in_test_files 'needs Wine'; then fail "with 32-bit programs, suites are skipped"; fi
