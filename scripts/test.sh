#!/usr/bin/env bash
# Sets the machine up, builds everything and runs every test. Exits non-zero on
# any failure. Ends with how many tests passed and how many were skipped, and
# why: on a machine that runs no 32-bit programs Wine cannot run, and the suites
# and benchmarks under Wine are skipped (the Windows editions are still built,
# and the checks that read their files still run).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)

bash "$root/scripts/setup.sh"
runs_32_bit=0
reason=$(bash "$root/scripts/runs-32-bit.sh") || runs_32_bit=$?
[ "$runs_32_bit" -le 1 ] || exit "$runs_32_bit"

# Every ctest run adds to the closing tally; a failing one ends the run.
passed=0
skipped=0
wine_skipped=0
# run_ctest BUILD-DIR: its tests, as ctest reports them; sets last_skipped.
run_ctest() {
  local log="$1/ctest.log" status=0 total
  ctest --test-dir "$1" -j "$jobs" --output-on-failure 2>&1 | tee "$log" || status=$?
  total=$(sed -nE 's/.* tests failed out of ([0-9]+)$/\1/p' "$log")
  last_skipped=$(grep -cE '^\s+[0-9]+ - .* \(Skipped\)$' "$log" || true)
  passed=$((passed + ${total:-0} - last_skipped))
  skipped=$((skipped + last_skipped))
  return "$status"
}

# Native build: the engine tests, fast.
cmake -S "$root" -B "$root/build/native" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build/native" -j "$jobs"
run_ctest "$root/build/native"

# The same suites under the sanitizers.
for sanitizer in address,undefined thread; do
  dir="$root/build/native-${sanitizer%%,*}"
  cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Debug -DAMBRELITH_SANITIZE="$sanitizer" >/dev/null
  cmake --build "$dir" -j "$jobs"
  run_ctest "$dir"
done

# The two Windows editions: cross-built with MinGW against their own FFTW builds,
# every suite run under Wine (a private prefix in each build folder).
bash "$root/scripts/build-fftw.sh"
for edition in sse standard; do
  dir="$root/build/win-$edition"
  cmake -S "$root" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
    -DAMBRELITH_EDITION="$edition" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$dir" -j "$jobs"
  status=0
  run_ctest "$dir" || status=$?
  # Without 32-bit programs, what ctest skips here is what needs Wine.
  if [ "$runs_32_bit" -eq 1 ]; then wine_skipped=$((wine_skipped + last_skipped)); fi
  # Leave no Wine server behind.
  WINEPREFIX="$dir/wine" wineserver -k 2>/dev/null || true
  if [ "$status" -ne 0 ]; then exit "$status"; fi
done

# The fuzz targets, a minute each: the impulse reader and loader, the settings
# file, and the impulse description.
bash "$root/scripts/fuzz.sh" 60

# The benchmarks, briefly: a smoke test that every measurement still runs.
bash "$root/scripts/benchmark.sh" --short

echo
if [ "$wine_skipped" -gt 0 ]; then
  echo "$wine_skipped skipped, needs Wine (the Windows editions' suites, and their benchmarks): $reason"
fi
if [ "$skipped" -gt "$wine_skipped" ]; then
  echo "$((skipped - wine_skipped)) skipped by the test cases themselves, for what this machine lacks (named in ctest's lists above)"
fi
echo "tests: $passed passed, 0 failed, $skipped skipped"
