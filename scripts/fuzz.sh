#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, address and undefined-behaviour
# sanitizers) in build/fuzz and runs them side by side on their seed corpora
# plus what earlier runs kept in build/fuzz/corpus. Exits non-zero when any
# target finds a crash, a leak, a broken check or a hang.
#
#   scripts/fuzz.sh [seconds] [processes per target] [target ...]
#
# Defaults: 60 seconds, one process each, all three targets (impulse_load,
# settings_file, impulse_info). Inputs that failed are kept in
# build/fuzz/artifacts/<target>/, the output in build/fuzz/logs/<target>/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
processes=${2:-1}
shift $(($# > 2 ? 2 : $#))
targets=("$@")
if [ "${#targets[@]}" -eq 0 ]; then targets=(impulse_load settings_file impulse_info); fi

build="$root/build/fuzz"
cmake -S "$root" -B "$build" -DAMBRELITH_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j "$(nproc)"

rm -rf "$build/seeds"
"$build/tests/fuzz/fuzz_seed_corpus" "$build/seeds"

# The targets write every input to a file: on tmpfs that costs a tenth of what
# it costs on disk.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi

pids=()
for target in "${targets[@]}"; do
  logs="$build/logs/$target"
  rm -rf "$logs"
  mkdir -p "$logs" "$build/corpus/$target" "$build/artifacts/$target"
  # Every process fuzzes on its own and shares what it finds through the
  # corpus folder; each writes fuzz-<n>.log into the log folder.
  (cd "$logs" && exec "$build/tests/fuzz/fuzz_$target" -jobs="$processes" -workers="$processes" \
    -max_total_time="$seconds" -timeout=60 -print_final_stats=1 \
    -artifact_prefix="$build/artifacts/$target/" \
    "$build/corpus/$target" "$build/seeds/$target" >"$logs/supervisor.log" 2>&1) &
  pids+=($!)
done

status=0
for i in "${!targets[@]}"; do
  target=${targets[$i]}
  logs="$build/logs/$target"
  if wait "${pids[$i]}" && ! grep -qE '^(==[0-9]+== ?ERROR|SUMMARY)' "$logs"/fuzz-*.log; then
    executions=$(awk '/^stat::number_of_executed_units:/ { n += $2 } END { print n + 0 }' \
      "$logs"/fuzz-*.log)
    corpus=$(find "$build/corpus/$target" -type f | wc -l)
    echo "fuzz_$target: ok, $executions executions in ${seconds} s x $processes, corpus $corpus files"
  else
    status=1
    echo "fuzz_$target: FAILED (logs: $logs)"
    tail -n 20 "$logs/supervisor.log"
    for log in "$logs"/fuzz-*.log; do
      if grep -qE '^(==[0-9]+== ?ERROR|SUMMARY)' "$log"; then tail -n 60 "$log"; fi
    done
  fi
done
exit "$status"
