#!/usr/bin/env bash
# Measures what the plug-in costs: the engine against the FFTW calls it makes,
# an impulse load, the limiter and the conversions (native Google Benchmark),
# and the whole modify-samples path per block for each edition under Wine, in
# the DSP host, for stereo 576-frame blocks and impulses of 0.1, 1 and 3 s.
#
#   scripts/benchmark.sh [--short]
#
# --short runs every measurement briefly (what CI does); the figures are then
# only a smoke test. Expects scripts/setup.sh to have run. On a machine that
# runs no 32-bit programs, Wine cannot run: the part under Wine is skipped,
# with the reason.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)

short=0
[ "${1:-}" = "--short" ] && short=1
if [ "$short" -eq 1 ]; then
  min_time=0.05
  input_seconds=2
else
  min_time=2
  input_seconds=20
fi

echo "== native benchmarks"
cmake -S "$root" -B "$root/build/native" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build/native" -j "$jobs" --target engine_benchmark limiter_benchmark >/dev/null
for bench in engine_benchmark limiter_benchmark; do
  "$root/build/native/tests/$bench" --benchmark_min_time="$min_time" 2>&1 | grep -v '^\*\*\*WARNING'
done

status=0
reason=$(bash "$root/scripts/runs-32-bit.sh") || status=$?
if [ "$status" -eq 1 ]; then
  echo "== both editions under Wine: skipped, needs Wine: $reason"
  exit 0
fi
[ "$status" -eq 0 ] || exit "$status"

bash "$root/scripts/build-fftw.sh" >/dev/null
for edition in sse standard; do
  dir="$root/build/win-$edition"
  dll=dsp_ambrelith.dll
  [ "$edition" = sse ] && dll=dsp_ambrelith_sse.dll
  cmake -S "$root" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
    -DAMBRELITH_EDITION="$edition" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$dir" -j "$jobs" --target ambrelith_plugin dsp_host demo_audio >/dev/null
  wine_run=("$root/scripts/wine-run.sh" "$dir/wine")
  bench="$dir/benchmark"
  mkdir -p "$bench"
  echo "== $edition edition under Wine: modify-samples per stereo block of 576 frames"
  for impulse_seconds in 0.1 1 3; do
    "${wine_run[@]}" "$dir/bin/demo_audio.exe" "$bench/input.wav" "$bench/impulse-$impulse_seconds.wav" \
      "$input_seconds" "$impulse_seconds"
    # On failure, what the host said is the only clue: show it.
    out=$("${wine_run[@]}" "$dir/bin/dsp_host.exe" --block 576 --impulse "$bench/impulse-$impulse_seconds.wav" \
      "$dir/bin/$dll" "$bench/input.wav" "$bench/output.wav" 2>&1) || { echo "$out"; exit 1; }
    line=$(grep 'time per block' <<<"$out") || { echo "$out"; exit 1; }
    per_block=$(sed -E 's/.*time per block ([0-9.]+) us.*/\1/' <<<"$line")
    factor=$(awk -v us="$per_block" 'BEGIN { printf "%.2f", (576 / 44100 * 1e6) / us }')
    echo "impulse ${impulse_seconds} s: ${per_block} us per block, real-time factor ${factor}"
  done
  WINEPREFIX="$dir/wine" wineserver -k 2>/dev/null || true
done
