#!/usr/bin/env bash
# Cross-builds FFTW 3 (single precision, static) for the two Windows editions from
# Debian's source package, into build/fftw/sse and build/fftw/standard.
#
# Each build is cached: it is redone only when its library is missing or was made
# with other flags. Only the library is built (no tests, tools or documentation).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/build/fftw"
jobs=$(nproc)
host=i686-w64-mingw32

# Flags shared by both builds. No threads, no Fortran wrappers; FFTW's own
# aligned malloc, since the Windows C runtime's malloc only aligns to 8 bytes.
common_flags=(--host="$host" --enable-float --enable-static --disable-shared --disable-fortran
  --disable-threads --disable-openmp --disable-doc --with-our-malloc)
common_cflags="-O3 -fomit-frame-pointer -fstrict-aliasing -fno-schedule-insns"

# SSE edition: FFTW's SSE codelets (taken only after FFTW's own CPUID check) and
# the rest of the library in SSE scalar arithmetic too. The engine's real-to-real
# transforms run no SIMD codelet at all, so the scalar SSE arithmetic is what
# makes them faster (about 1.3-1.7x over x87). For single precision FFTW's
# --enable-sse2 is the same code as --enable-sse; --enable-avx changes nothing
# for these transforms. The host may call us with a 4-byte aligned stack, so
# functions that keep vectors on the stack realign it.
sse_flags=(--enable-sse)
sse_cflags="$common_cflags -msse -mfpmath=sse -mstackrealign"

# Standard edition: no SIMD at all, x87 arithmetic only.
standard_flags=()
standard_cflags="$common_cflags -mfpmath=387 -mno-sse"

fetch_source() {
  local src_root="$out/src"
  source_dir="$src_root/fftw3-3.3.10"
  if [ -x "$source_dir/configure" ]; then return; fi
  rm -rf "$src_root"
  mkdir -p "$src_root"
  # Debian's source package: the upstream release with Debian's patches applied.
  (cd "$src_root" && apt-get source -qq fftw3 >/dev/null 2>"$src_root/apt-source.log") || {
    cat "$src_root/apt-source.log" >&2
    echo "build-fftw: apt-get source fftw3 failed (is the deb-src entry there? run scripts/setup.sh)" >&2
    exit 1
  }
  if [ ! -x "$source_dir/configure" ]; then
    echo "build-fftw: Debian's fftw3 source is not version 3.3.10" >&2
    exit 1
  fi
}

# build_one NAME CFLAGS CONFIGURE-FLAGS...
build_one() {
  local name=$1 cflags=$2
  shift 2
  local prefix="$out/$name" work="$out/build-$name"
  local recipe="CFLAGS=$cflags $*"
  if [ -f "$prefix/lib/libfftw3f.a" ] && [ "$(cat "$prefix/recipe" 2>/dev/null)" = "$recipe" ]; then
    echo "build-fftw: $name is up to date"
    return
  fi
  fetch_source
  echo "build-fftw: building $name ($recipe)"
  rm -rf "$work" "$prefix"
  mkdir -p "$work"
  (
    cd "$work"
    "$source_dir/configure" "$@" CFLAGS="$cflags" --prefix="$prefix" >configure.log 2>&1 || {
      tail -n 40 configure.log >&2
      exit 1
    }
    # The library's own directories only, then the library that combines them.
    for dir in support kernel simd-support dft rdft reodft api; do
      make -s -j "$jobs" -C "$dir" >>make.log 2>&1 || {
        tail -n 40 make.log >&2
        exit 1
      }
    done
    make -s -j "$jobs" libfftw3f.la >>make.log 2>&1 || {
      tail -n 40 make.log >&2
      exit 1
    }
  )
  install -D -m 644 "$work/.libs/libfftw3f.a" "$prefix/lib/libfftw3f.a"
  install -D -m 644 "$source_dir/api/fftw3.h" "$prefix/include/fftw3.h"
  echo "$recipe" >"$prefix/recipe"
}

case "${1:-all}" in
  sse) editions=(sse) ;;
  standard) editions=(standard) ;;
  all) editions=(sse standard) ;;
  *)
    echo "usage: $0 [sse|standard|all]" >&2
    exit 2
    ;;
esac

build_edition() {
  case $1 in
    sse) build_one sse "$sse_cflags" "${common_flags[@]}" "${sse_flags[@]}" ;;
    standard) build_one standard "$standard_cflags" "${common_flags[@]}" ${standard_flags[@]+"${standard_flags[@]}"} ;;
  esac
}

# The source is fetched once, then the editions build side by side: most of
# configure runs on one core.
for edition in "${editions[@]}"; do
  prefix="$out/$edition"
  if [ ! -f "$prefix/lib/libfftw3f.a" ] || [ ! -f "$prefix/recipe" ]; then fetch_source; fi
done
pids=()
for edition in "${editions[@]}"; do
  build_edition "$edition" &
  pids+=($!)
done
failed=0
for pid in "${pids[@]}"; do wait "$pid" || failed=1; done
exit "$failed"
