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
# It runs a tiny 32-bit program of its own, made from the bytes below, or
# PROGRAM instead (the tests try one that runs and one that is refused). Only
# a refusal of the program's format means "does not": a Wine that is missing
# or broken in another way is no answer here, and fails where Wine is run,
# with Wine's own message.
#
# AMBRELITH_RUNS_32_BIT=yes or =no gives the answer without asking the kernel,
# so that either way can be tried on any machine.
set -euo pipefail

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
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ "$#" -eq 0 ]; then
  set -- "$work/probe"
  # An i386 executable of 93 bytes: the ELF header, one segment that loads the
  # whole file at 0x08048000, then the code at 0x08048054 (entry):
  # xor ebx, ebx; mov eax, 1; int 0x80, the system call exit(0).
  printf '%b' \
    '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' \
    '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' \
    '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x28\x00\x00\x00\x00\x00' \
    '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08' \
    '\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00' \
    '\x31\xdb\xb8\x01\x00\x00\x00\xcd\x80' >"$1"
  chmod +x "$1"
fi

status=0
"$@" >"$work/output" 2>&1 </dev/null || status=$?
if [ "$status" -eq 0 ]; then exit 0; fi
if [ "$status" -eq 126 ] && grep -q 'Exec format error' "$work/output"; then
  echo "this machine runs no 32-bit programs: its kernel refuses them (Exec format error)"
  exit 1
fi
echo "runs-32-bit: could not tell whether this machine runs 32-bit programs: $1 ended with status $status" >&2
cat "$work/output" >&2
exit 2
