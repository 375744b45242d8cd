#!/usr/bin/env bash
# Tells whether this machine runs 32-bit x86 programs. Wine's loader, and with
# it every Windows program of the two editions, is one; some kernels run none
# (their 32-bit emulation is off or left out) and refuse each with "Exec format
# error". Set-up, the scripts and the Windows builds' tests all ask here.
#
#   scripts/runs-32-bit.sh [PROGRAM [ARGS...]]
#
# Exit status 0: it does. 1: it does not, and the one line on standard output
# says so and why. 2: it could not tell (the error on standard error).
#
# It runs a tiny 32-bit program of its own, made from the bytes below in the
# temp folder (or, where that will not do, in the build folder), or
# PROGRAM instead (the tests try one that runs and one that is refused). Only
# a refusal of the program's format means "does not": a Wine that is missing
# or broken in another way is no answer here, and fails where Wine is run,
# with Wine's own message. Nor is a failure of the check's own steps: that is
# "could not tell", whatever step it was.
#
# AMBRELITH_RUNS_32_BIT=yes or =no gives the answer without asking the kernel,
# so that either way can be tried on any machine.

# No -e: each step that can fail is checked, so that a failure ends in "could
# not tell" (or in trying the next place for the probe), never in the status
# that means "does not".
set -uo pipefail

case "${AMBRELITH_RUNS_32_BIT:-}" in
  yes) exit 0 ;;
  no)
    echo "this machine runs no 32-bit programs: AMBRELITH_RUNS_32_BIT=no says so"
    exit 1
    ;;
  "") ;;
  *)
    echo "runs-32-bit: AMBRELITH_RUNS_32_BIT must be yes or no, not '$AMBRELITH_RUNS_32_BIT'" >&2
    exit 2
    ;;
esac

# The refusal is told apart by its message: the shell's, in English.
export LC_ALL=C

# answer STATUS OUTPUT: ends the check if a program that ended with STATUS,
# saying OUTPUT, is an answer: it ran, or the kernel refused its format.
answer() {
  if [ "$1" -eq 0 ]; then exit 0; fi
  if [ "$1" -eq 126 ] && [[ $2 == *'Exec format error'* ]]; then
    echo "this machine runs no 32-bit programs: its kernel refuses them (Exec format error)"
    exit 1
  fi
}
# could_not_tell WHY [DETAIL...]: says so on standard error, one line each.
could_not_tell() {
  echo "runs-32-bit: could not tell whether this machine runs 32-bit programs: $1" >&2
  shift
  if [ "$#" -gt 0 ]; then printf '%s\n' "$@" >&2; fi
  exit 2
}

# A program given is run where it is, and nothing else is tried.
if [ "$#" -gt 0 ]; then
  status=0
  output=$("$@" 2>&1 </dev/null) || status=$?
  answer "$status" "$output"
  could_not_tell "$1 ended with status $status" ${output:+"$output"}
fi

# An i386 executable of 93 bytes: the ELF header, one segment that loads the
# whole file at 0x08048000, then the code at 0x08048054 (entry):
# xor ebx, ebx; mov eax, 1; int 0x80, the system call exit(0).
write_probe() {
  printf '%b' \
    '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' \
    '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' \
    '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x28\x00\x00\x00\x00\x00' \
    '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08' \
    '\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00' \
    '\x31\xdb\xb8\x01\x00\x00\x00\xcd\x80'
}

# What this run made, removed however it ends.
work=
made=
clean_up() {
  if [ -n "$work" ]; then rm -rf "$work"; fi
  if [ -n "$made" ]; then rmdir "$made" 2>/dev/null; fi
  work=
  made=
}
trap clean_up EXIT

# try PLACE: makes the probe in a folder of its own in PLACE, so that runs at
# the same time do not meet, and runs it. Ends the check with the kernel's
# answer; otherwise adds why PLACE would not do to failed.
failed=()
try() {
  local output status=0
  if ! output=$(mktemp -d "$1/runs-32-bit.XXXXXX" 2>&1); then
    failed+=("$1: $output")
    return
  fi
  work=$output
  if ! output=$(write_probe 2>&1 >"$work/probe") || ! output=$(chmod +x "$work/probe" 2>&1); then
    failed+=("$1: $output")
  else
    output=$("$work/probe" 2>&1 </dev/null) || status=$?
    answer "$status" "$output"
    failed+=("$1: the probe ended with status $status${output:+: $output}")
  fi
  clean_up
}

# The temp folder first: a throwaway file belongs there, and it is there
# before anything is built. Where it is missing, full or mounted noexec, the
# project's build folder: the project runs its own programs from there anyway.
# That folder is made if need be and then removed again, since set-up asks here
# as root, and a build folder of root's would shut the user's builds out.
try "${TMPDIR:-/tmp}"
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd) || could_not_tell "no project folder to fall back on" "${failed[@]}"
build=$root/build
if [ ! -d "$build" ] && output=$(mkdir "$build" 2>&1); then made=$build; fi
if [ -d "$build" ]; then try "$build"; else failed+=("$build: $output"); fi
could_not_tell "the probe ran in none of the places tried:" "${failed[@]}"
