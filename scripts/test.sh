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
