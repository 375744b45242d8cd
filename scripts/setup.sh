#!/usr/bin/env bash
# Installs everything the build and the tests need on a fresh Debian 12 machine.
# Safe to run again: it installs only what is missing.
set -euo pipefail

need_root() { if [ "$(id -u)" -ne 0 ]; then exec sudo -E bash "$0" "$@"; fi; }
need_root "$@"

export DEBIAN_FRONTEND=noninteractive

# Native build: compiler, CMake, FFTW, GoogleTest, Google Benchmark.
native_packages=(build-essential cmake pkg-config libfftw3-dev libgtest-dev googletest libbenchmark-dev)

missing=()
for p in "${native_packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
