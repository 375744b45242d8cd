#!/usr/bin/env bash
# Sets the machine up, builds everything and runs every test. Exits non-zero on
# any failure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)

bash "$root/scripts/setup.sh"

# Native build: the engine tests, fast.
cmake -S "$root" -B "$root/build/native" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build/native" -j "$jobs"
ctest --test-dir "$root/build/native" -j "$jobs" --output-on-failure

# The same suites under the sanitizers.
for sanitizer in address,undefined thread; do
  dir="$root/build/native-${sanitizer%%,*}"
  cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Debug -DAMBRELITH_SANITIZE="$sanitizer" >/dev/null
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" -j "$jobs" --output-on-failure
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
  ctest --test-dir "$dir" -j "$jobs" --output-on-failure || status=$?
  # Leave no Wine server behind.
  WINEPREFIX="$dir/wine" wineserver -k 2>/dev/null || true
  if [ "$status" -ne 0 ]; then exit "$status"; fi
done

# The fuzz targets, a minute each: the impulse reader and loader, the settings
# file, and the impulse description.
bash "$root/scripts/fuzz.sh" 60

# The benchmarks, briefly: a smoke test that every measurement still runs.
bash "$root/scripts/benchmark.sh" --short
