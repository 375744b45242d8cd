#!/usr/bin/env bash
# Runs a Windows program under Wine the way a user in mainland China sees it:
# on a virtual X display of its own (Xvfb), in the Simplified-Chinese locale
# (code page 936), with Wine drawing every window inside a virtual desktop.
#
#   run-on-display.sh PREFIX-DIR PROGRAM.exe [ARGS...]
#
# The prefix is this script's alone: its Wine server is stopped when the program
# ends, so no Wine process outlives the display it was drawing on. Runs on one
# prefix take turns. Needs what scripts/setup.sh installs: xvfb, the zh_CN.UTF-8
# locale and a CJK font.
set -euo pipefail

if [ "$#" -lt 2 ]; then
  echo "usage: $0 PREFIX-DIR PROGRAM.exe [ARGS...]" >&2
  exit 2
fi
mkdir -p "$(dirname "$1")"
prefix=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")  # Wine wants it absolute
shift
wine_run=$(cd "$(dirname "$0")/../../scripts" && pwd)/wine-run.sh

if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf-\?8'; then
  echo "$0: the zh_CN.UTF-8 locale is missing; run scripts/setup.sh" >&2
  exit 2
fi
export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8

exec 8>"$prefix.display.lock"
flock 8

display_file=$(mktemp)
xvfb_pid=""
stop_all() {
  WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
  WINEPREFIX="$prefix" wineserver -w >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
  rm -f "$display_file"
}
trap stop_all EXIT

# Xvfb picks a free display and writes its number once it accepts clients.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 8>&- &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$display_file" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || { echo "$0: Xvfb did not start" >&2; exit 1; }
  sleep 0.1
done
[ -s "$display_file" ] || { echo "$0: Xvfb gave no display" >&2; exit 1; }
export DISPLAY=":$(head -n 1 "$display_file")"

# Once per prefix: every window inside one virtual desktop, so that Wine draws
# the frames and captions itself (there is no window manager), and the dialog
# font, which Windows has and Wine lacks, taken from the CJK font installed.
if [ ! -f "$prefix/.display-ready" ]; then
  "$wine_run" "$prefix" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 8>&-
  "$wine_run" "$prefix" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 8>&-
  WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
  WINEPREFIX="$prefix" wineserver -w >/dev/null 2>&1 || true
  touch "$prefix/.display-ready"
fi

status=0
"$wine_run" "$prefix" "$@" 8>&- || status=$?
exit "$status"
