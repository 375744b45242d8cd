#!/usr/bin/env bash
# Takes the README's pictures of the settings dialog and its About box: the
# plug-in of a Windows build, in our host, under Wine on a virtual display in
# the Simplified-Chinese locale, as a user in mainland China sees it.
#
#   tests/dialog/take-screenshots.sh [BUILD-DIR]    (default: build/win-sse)
#
# BUILD-DIR is a configured Windows build (see the README). Writes
# docs/settings-dialog.png and docs/about-box.png.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build/win-sse}" && pwd)

cmake --build "$build" --target dialog_screenshot -j "$(nproc)"

shots=$(mktemp -d)
trap 'rm -rf "$shots"' EXIT
"$root/tests/dialog/run-on-display.sh" "$build/wine-display" \
  "$build/dialog-tests/dialog_screenshot.exe" "Z:${shots//\//\\}"

mkdir -p "$root/docs"
for name in settings-dialog about-box; do
  # -strip: no time stamps, so the same picture gives the same file.
  convert "$shots/$name.bmp" -strip "$root/docs/$name.png"
  echo "docs/$name.png"
done
