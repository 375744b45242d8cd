#!/usr/bin/env bash
# Runs a Windows program under Wine in a private prefix: the emulator of the
# cross builds (CMAKE_CROSSCOMPILING_EMULATOR).
#
#   wine-run.sh PREFIX-DIR PROGRAM.exe [ARGS...]
#
# The prefix is created on first use, once, even when ctest starts many programs
# at the same time. No display is needed; Wine's own chatter is silenced, so the
# program's output and exit status are its own.
#
# To stop the prefix's Wine server at once: WINEPREFIX=PREFIX-DIR wineserver -k
set -euo pipefail

if [ "$#" -lt 2 ]; then
  echo "usage: $0 PREFIX-DIR PROGRAM.exe [ARGS...]" >&2
  exit 2
fi
prefix=$1
shift

export WINEPREFIX="$prefix"
export WINEARCH=win32
export WINEDEBUG=-all
# No Mono or Gecko installer prompts while the prefix is made.
export WINEDLLOVERRIDES="mscoree,mshtml="

# Under one lock: make the prefix on first use, and start the prefix's Wine
# server when none runs. The server is kept for 30 s after the last program ends,
# since starting it anew costs seconds for every test case.
mkdir -p "$(dirname "$prefix")"
(
  flock 9
  if [ ! -f "$prefix/.ready" ]; then
    # Wine's chatter while it makes the prefix is kept out of sight, unless it
    # fails: then it is the only clue (a Wine that is missing or broken).
    if ! wineboot --init >"$prefix.init.log" 2>&1 </dev/null 9>&-; then
      cat "$prefix.init.log" >&2
      echo "wine-run.sh: Wine could not make the prefix $prefix" >&2
      exit 1
    fi
    wineserver --wait 9>&-
    touch "$prefix/.ready"
  fi
  # What starts here lives on: it must not hold the lock (fd 9) nor our output.
  if wineserver -p30 >/dev/null 2>&1 </dev/null 9>&-; then
    wineboot >/dev/null 2>&1 </dev/null 9>&-
  fi
) 9>"$prefix.lock"

# Wine 8's own process now and then dies of SIGSEGV as a program exits, after
# the program has done all its work (seen about once in a few hundred runs of a
# short test program, on a loaded machine). A fault in the program itself never
# ends that way: Wine reports it as an unhandled exception, with a backtrace and
# exit status 5. So only a SIGSEGV of Wine runs the program once more, and says so.
set +e
wine "$@"
status=$?
if [ "$status" -eq 139 ]; then
  echo "wine-run.sh: Wine itself died of SIGSEGV; running $1 once more" >&2
  wine "$@"
  status=$?
fi
exit "$status"
