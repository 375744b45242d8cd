#!/usr/bin/env bash
# scripts/runs-32-bit.sh gives both of its answers where they are due, and no
# answer for a failure of another kind; its own probe agrees with Wine's
# 32-bit loader on this machine, whichever way the machine goes.
set -euo pipefail
check=$(cd "$(dirname "$0")/../../scripts" && pwd)/runs-32-bit.sh
unset AMBRELITH_RUNS_32_BIT
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# expect STATUS OUTPUT-PATTERN [ENV=VALUE...] -- [PROGRAM [ARGS...]]
expect() {
  local want=$1 pattern=$2 status=0 env=()
  shift 2
  while [ "$1" != -- ]; do env+=("$1") && shift; done
  shift
  env ${env[@]+"${env[@]}"} bash "$check" "$@" >"$work/out" 2>&1 || status=$?
  if [ "$status" -ne "$want" ] || ! [[ $(cat "$work/out") =~ $pattern ]]; then
    echo "FAILED: ${env[*]} runs-32-bit.sh $*: status $status, expected $want matching '$pattern':"
    cat "$work/out"
    failures=$((failures + 1))
  fi
}

# Forced, either way; anything else is refused.
expect 0 '^$' AMBRELITH_RUNS_32_BIT=yes --
expect 1 '^this machine runs no 32-bit programs: AMBRELITH_RUNS_32_BIT=no' AMBRELITH_RUNS_32_BIT=no --
expect 2 'must be yes or no' AMBRELITH_RUNS_32_BIT=1 --

# A program that runs; one whose format the kernel refuses (what a kernel
# without 32-bit emulation does with every 32-bit program); one that cannot be
# run for another reason, as when Wine is missing or broken: no answer.
printf '\0\0\0\0' >"$work/refused" && chmod +x "$work/refused"
printf '\0\0\0\0' >"$work/not-executable"
expect 0 '^$' -- true
expect 1 '^this machine runs no 32-bit programs: its kernel refuses them \(Exec format error\)$' -- "$work/refused"
expect 2 'could not tell.*status 126' -- "$work/not-executable"
expect 2 'could not tell.*status 3' -- bash -c 'exit 3'

# The probe's answer is Wine's loader's.
probe=0 wine=0
bash "$check" >/dev/null 2>&1 || probe=$?
bash "$check" /usr/lib/wine/wine --version >/dev/null 2>&1 || wine=$?
if [ "$probe" -ne "$wine" ] || [ "$probe" -gt 1 ]; then
  echo "FAILED: the probe answers $probe, Wine's loader $wine"
  failures=$((failures + 1))
fi
exit $((failures > 0))
