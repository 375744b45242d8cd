#!/usr/bin/env bash
# scripts/runs-32-bit.sh gives each answer where it is due, forced or found, and
# none for a failure of another kind; its own probe agrees with Wine's 32-bit
# loader, whichever way this machine goes, and says the same where the temp
# folder is missing, full or mounted noexec.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
check=$root/scripts/runs-32-bit.sh
unset AMBRELITH_RUNS_32_BIT
# The work folder is in the build folder, not the temp folder: the programs in
# it must run, which a noexec temp folder would not allow.
mkdir -p "$root/build"
work=$(mktemp -d "$root/build/runs-32-bit-tests.XXXXXX")
mounts=()
trap 'if [ "${#mounts[@]}" -gt 0 ]; then umount "${mounts[@]}" || true; fi; rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}
# expect STATUS REGEX [PROGRAM [ARGS...]]: the check ends with STATUS, saying
# what matches REGEX where that answer is said (standard output for 0 and 1,
# standard error for 2), and nothing on the other stream.
expect() {
  local want=$1 pattern=$2 status=0 out err said silent
  shift 2
  out=$(bash "$check" "$@" 2>"$work/stderr") || status=$?
  err=$(<"$work/stderr")
  said=$out silent=$err
  if [ "$want" -eq 2 ]; then said=$err silent=$out; fi
  if [ "$status" -ne "$want" ] || ! [[ $said =~ $pattern ]] || [ -n "$silent" ]; then
    fail "${AMBRELITH_RUNS_32_BIT:+AMBRELITH_RUNS_32_BIT=$AMBRELITH_RUNS_32_BIT }${TMPDIR:+TMPDIR=$TMPDIR }$check $*:" \
      "status $status, not $want saying '$pattern' on its own stream: out '$out', err '$err'"
  fi
}
no='^this machine runs no 32-bit programs: its kernel refuses them \(Exec format error\)$'

AMBRELITH_RUNS_32_BIT=yes expect 0 '^$'
AMBRELITH_RUNS_32_BIT=no expect 1 '^this machine runs no 32-bit programs: AMBRELITH_RUNS_32_BIT=no says so$'
AMBRELITH_RUNS_32_BIT=1 expect 2 'must be yes or no'
# A program that runs; one whose format the kernel refuses, as a kernel without
# 32-bit emulation refuses every 32-bit one; one not run for another reason.
# None of them depends on the temp folder.
printf '\0\0\0\0' | tee "$work/not-executable" >"$work/refused" && chmod +x "$work/refused"
TMPDIR=$work/missing expect 0 '^$' true
TMPDIR=$work/missing expect 1 "$no" "$work/refused"
TMPDIR=$work/missing expect 2 'could not tell.*status 126.*Permission denied' "$work/not-executable"

# The probe answers as Wine's own loader does, and leaves nothing behind.
wine=0
bash "$check" /usr/lib/wine/wine --version >/dev/null 2>&1 || wine=$?
answer='^$'
if [ "$wine" -eq 1 ]; then answer=$no; fi
mkdir "$work/tmp"
TMPDIR=$work/tmp expect "$wine" "$answer"
if [ -n "$(ls -A "$work/tmp")" ]; then fail "the probe left $(ls -A "$work/tmp") in the temp folder"; fi

# The same answer where the temp folder is of no use: the probe goes to the
# build folder. A tmpfs that this machine will not mount skips its case.
TMPDIR=$work/missing expect "$wine" "$answer"
# tmpfs NAME OPTIONS: a tmpfs mounted at $work/NAME, or why not.
tmpfs() {
  mkdir "$work/$1" && mount -t tmpfs -o "$2" tmpfs "$work/$1" && mounts+=("$work/$1") && return
  echo "skipped, a temp folder that is $1: no tmpfs mounts here"
  return 1
}
if tmpfs full size=4k; then
  cat /dev/zero >"$work/full/filler" 2>/dev/null || true
  TMPDIR=$work/full expect "$wine" "$answer"
fi
if tmpfs noexec noexec; then TMPDIR=$work/noexec expect "$wine" "$answer"; fi

# A copy of the check falls back on its own build folder, made for the probe
# and removed again; where that cannot be made either, there is no answer, and
# each place tried is named with why it failed.
mkdir -p "$work/copy/scripts" && cp "$check" "$work/copy/scripts/"
check=$work/copy/scripts/runs-32-bit.sh TMPDIR=$work/missing expect "$wine" "$answer"
if [ -e "$work/copy/build" ]; then fail "the build folder made for the probe is left"; fi
: >"$work/copy/build"
check=$work/copy/scripts/runs-32-bit.sh TMPDIR=$work/missing \
  expect 2 "could not tell.*$work/missing: .*No such file.*$work/copy/build: .*File exists"
exit $((failures > 0))
