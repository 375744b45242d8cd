#!/usr/bin/env bash
# Installs everything the build and the tests need on a fresh Debian 12 machine.
# Safe to run again: it installs only what is missing, and refreshes the package
# lists only when something has to be installed. Ends with one line when this
# machine cannot run Wine, since it runs no 32-bit programs.
set -euo pipefail

need_root() { if [ "$(id -u)" -ne 0 ]; then exec sudo -E bash "$0" "$@"; fi; }
need_root "$@"

export DEBIAN_FRONTEND=noninteractive

# Native build: compiler, CMake, FFTW, GoogleTest, Google Benchmark.
native_packages=(build-essential cmake pkg-config libfftw3-dev libgtest-dev googletest libbenchmark-dev)
# The fuzz targets: clang with its libFuzzer and sanitizer runtimes, and
# llvm-symbolizer for readable stack traces in what the fuzzers report.
native_packages+=(clang libclang-rt-14-dev llvm-14)

# The Windows editions: the i686 MinGW cross compiler (the win32-thread variant,
# whose runtime needs nothing newer than Windows XP),
# Wine to run the 32-bit test programs, Xvfb for anything that needs a display,
# and dpkg-dev to unpack Debian's FFTW source package for the cross builds.
cross_packages=(g++-mingw-w64-i686-win32 binutils-mingw-w64-i686 wine wine32:i386 xvfb dpkg-dev)
# The settings dialog's tests and pictures: the Simplified-Chinese locale for
# Wine, a CJK font to draw the dialog's texts with, ImageMagick to save pictures.
cross_packages+=(locales fonts-wqy-microhei imagemagick)

# Debian's source entry for the main archive, so that `apt-get source fftw3` works.
source_list=/etc/apt/sources.list.d/ambrelith-deb-src.sources

lists_stale=0

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  lists_stale=1
fi

archive_uri() {
  # The main archive that the machine already uses (a mirror or the default).
  local uri
  uri=$(grep -hs '^URIs:' /etc/apt/sources.list.d/debian.sources | awk '{print $2}' |
    grep -v -- '-security' | head -n 1 || true)
  echo "${uri:-http://deb.debian.org/debian}"
}

has_deb_src() {
  local f
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    if [ -f "$f" ] && grep -qE '^(Types:.*deb-src|deb-src )' "$f"; then return 0; fi
  done
  return 1
}

if ! has_deb_src; then
  cat >"$source_list" <<EOF
Types: deb-src
URIs: $(archive_uri)
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  lists_stale=1
fi

missing=()
for p in "${native_packages[@]}" "${cross_packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

# The source index: apt-get source needs it even when every package is there.
if ! ls /var/lib/apt/lists/*_source_Sources* >/dev/null 2>&1; then
  lists_stale=1
fi

# A mirror caught mid-sync can serve an index of the wrong size; apt then
# fails the whole refresh although most lists arrived. Try a few times, then go
# on with the lists that are there.
refresh_package_lists() {
  local attempt
  for attempt in 1 2 3; do
    if apt-get update -qq >"$apt_log" 2>&1; then return; fi
    if [ "$attempt" -lt 3 ]; then sleep $((attempt * 10)); fi
  done
  echo "setup: some package lists did not refresh ($(grep -m 1 -o 'Failed to fetch [^ ]*' "$apt_log" || echo 'apt-get update failed')); going on with the lists that are there" >&2
}

# With one index missing, the suites can offer different versions for amd64
# and i386 (the security suite's newer amd64 libraries, the release's i386
# ones), and wine32:i386 cannot be resolved. Taking every package from the
# release itself gives matching versions for both architectures.
install_packages() {
  if apt-get install -y -qq --no-install-recommends "$@" >"$apt_log" 2>&1; then return; fi
  local release
  release=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
  echo "setup: the packages could not be installed as offered; trying once more with $release as the target release" >&2
  if apt-get install -y -qq --no-install-recommends -t "$release" "$@" >"$apt_log" 2>&1; then return; fi
  tail -n 20 "$apt_log" >&2
  echo "setup: installing ${*} failed. The package mirror may be mid-sync: wait a few minutes, then run 'apt-get update' and this script again." >&2
  exit 1
}

apt_log=$(mktemp)
trap 'rm -f "$apt_log"' EXIT
if [ "${#missing[@]}" -gt 0 ] || [ "$lists_stale" -eq 1 ]; then
  refresh_package_lists
fi
if [ "${#missing[@]}" -gt 0 ]; then
  install_packages "${missing[@]}"
fi

# The locale the dialog tests run Wine in (code page 936).
if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf-\?8'; then
  sed -i 's/^# *\(zh_CN.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' >>/etc/locale.gen
  locale-gen >/dev/null
fi

# Wine is installed even where it cannot run (Wine itself is a 32-bit program),
# so that the same set-up serves both kinds of machine; say what that costs.
status=0
reason=$(bash "$(dirname "$0")/runs-32-bit.sh") || status=$?
if [ "$status" -eq 1 ]; then
  echo "setup: $reason, so Wine cannot run here: scripts/test.sh will skip the suites and benchmarks under Wine, and scripts/run.sh will build the DLLs but cannot stream a file through one; a kernel with 32-bit emulation on (for example booted with ia32_emulation=on) would run them" >&2
fi
[ "$status" -le 1 ] || exit "$status"
