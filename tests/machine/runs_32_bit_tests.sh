#!/usr/bin/env bash
# scripts/runs-32-bit.sh gives each answer where it is due, forced or found, and
# none for a failure of another kind; its own probe agrees with Wine's 32-bit
# loader, whichever way this machine goes.
set -euo pipefail
check=$(cd "$(dirname "$0")/../../scripts" && pwd)/runs-32-bit.sh
unset AMBRELITH_RUNS_32_BIT
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
# expect STATUS OUTPUT-REGEX [PROGRAM [ARGS...]]
expect() {
  local want=$1 pattern=$2 status=0 out
  shift 2
  out=$(bash "$check" "$@" 2>&1) || status=$?
  if [ "$status" -ne "$want" ] || ! [[ $out =~ $pattern ]]; then
    echo "FAILED: ${AMBRELITH_RUNS_32_BIT:+AMBRELITH_RUNS_32_BIT=$AMBRELITH_RUNS_32_BIT }runs-32-bit.sh $*: status $status, not $want matching '$pattern': $out"
    failures=$((failures + 1))
  fi
}

AMBRELITH_RUNS_32_BIT=yes expect 0 '^$'
AMBRELITH_RUNS_32_BIT=no expect 1 '^this machine runs no 32-bit programs: AMBRELITH_RUNS_32_BIT=no'
AMBRELITH_RUNS_32_BIT=1 expect 2 'must be yes or no'
# A program that runs; one whose format the kernel refuses, as a kernel without
# 32-bit emulation refuses every 32-bit one; one not run for another reason.
printf '\0\0\0\0' | tee "$work/not-executable" >"$work/refused" && chmod +x "$work/refused"
expect 0 '^$' true
expect 1 '^this machine runs no 32-bit programs: its kernel refuses them \(Exec format error\)$' "$work/refused"
expect 2 'could not tell.*status 126' "$work/not-executable"
# The probe answers as Wine's own loader does.
wine=0
bash "$check" /usr/lib/wine/wine --version >/dev/null 2>&1 || wine=$?
expect "$wine" ''
exit $((failures > 0))
