#!/usr/bin/env bash
# Builds libtiff from Debian's source package with the sanitizers, so that the sanitizer build and
# the fuzz targets see memory faults inside libtiff itself, not only in our code around it.
#   scripts/build-sanitized-libtiff.sh --cc COMPILER --flags "SANITIZER FLAGS"
# CMake runs it when TESSALINE_SANITIZED_LIBTIFF is on, with its C compiler and sanitizer flags.
# Prints the install folder (lib/libtiff.so.6, include/, lib/pkgconfig/) as the last line of stdout;
# everything else goes to stderr. The build is cached outside any build tree, keyed by the version,
# the compiler and the flags:
#   ${XDG_CACHE_HOME:-$HOME/.cache}/tessaline/libtiff-<version>-<hash>
# and reused when present, so only the first sanitizer build of a machine pays for it.
#
# The version is pinned to tiff 4.5.0-6+deb12u4: it is the source the Debian mirror holds, and its
# library has the same soname (libtiff.so.6) and the same versioned symbols (LIBTIFF_4.0) as the
# installed 4.5.0-6+deb12u5 runtime, whose later changes are security fixes in the PixarLog codec,
# in the reading of 64-bit strip byte counts and in two of the command-line tools. A fault the
# sanitizers report in those places may already be fixed in the installed runtime.
#
# The library is shared, with the soname of the system one: FreeImage and DevIL, which we do not
# build, link libtiff.so.6 dynamically too, and the dynamic loader hands every one of them the first
# libtiff.so.6 it loads, which is this one (found through the executable's run path). So the process
# holds one libtiff and it is the instrumented one. The codecs are Debian's: zlib with libdeflate,
# JPEG and old-style JPEG, LZMA, Zstandard, WebP, JBIG and LERC, each linked from the system.
#
# Sources: apt-get source (needs deb-src entries and dpkg-dev: scripts/install-deps.sh --sanitize
# adds both), or, without network, a folder holding the package's .dsc and tarballs named by
# TESSALINE_LIBTIFF_SOURCES.
set -euo pipefail

version=4.5.0-6+deb12u4
cc=
flags=
while [ $# -gt 0 ]; do
  case $1 in
    --cc) cc=$2; shift 2 ;;
    --flags) flags=$2; shift 2 ;;
    *) echo "build-sanitized-libtiff: unknown argument $1" >&2; exit 2 ;;
  esac
done
if [ -z "$cc" ] || [ -z "$flags" ]; then
  echo "usage: build-sanitized-libtiff.sh --cc COMPILER --flags \"SANITIZER FLAGS\"" >&2
  exit 2
fi
# The library is compiled for finding faults, not for speed: debug information, light optimisation.
# Without the alignment check: libtiff's LZW decoder reads its input with deliberately unaligned
# 64-bit loads (tif_lzw.c), which x86 allows; every memory fault is still reported.
cflags="$flags -fno-sanitize=alignment -g -O1"

# Everything that changes the binary is in the key: a different compiler, flag or configure option
# gives a different folder.
configure=(
  -DBUILD_SHARED_LIBS=ON -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF -Dtiff-docs=OFF
  -Dcxx=OFF -Dtiff-opengl=OFF -Dld-version-script=ON
  -Dzlib=ON -Dlibdeflate=ON -Djpeg=ON -Dold-jpeg=ON -Dlzma=ON -Dzstd=ON -Dwebp=ON -Djbig=ON -Dlerc=ON
  -DCMAKE_BUILD_TYPE=None
)
compiler_id=$(command -v "$cc")" "$("$cc" --version | head -n 1)
key=$(printf '%s\n' "$version" "$compiler_id" "$cflags" "${configure[*]}" | sha256sum | cut -c1-12)
cache=${XDG_CACHE_HOME:-$HOME/.cache}/tessaline
prefix=$cache/libtiff-${version%%-*}-$key
mkdir -p "$cache"

# Two builds configuring at once wait for each other instead of building the same folder twice.
exec 9>"$prefix.lock"
flock 9
if [ -f "$prefix/lib/libtiff.so.6" ]; then
  echo "$prefix"
  exit 0
fi

# A fixed work folder (under the lock) gives the compiler the same paths every time, so ccache
# can serve a rebuild.
work=$prefix.work
rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
started=$(date +%s)
if [ -n "${TESSALINE_LIBTIFF_SOURCES:-}" ]; then
  (cd "$work" && dpkg-source --no-copy -x "$TESSALINE_LIBTIFF_SOURCES/tiff_$version.dsc" src) >&2
else
  if ! command -v dpkg-source >/dev/null || ! apt-cache showsrc tiff 2>/dev/null | grep -Fx "Version: $version" >/dev/null; then
    echo "build-sanitized-libtiff: the source of tiff $version is not available to apt-get;" \
      "run scripts/install-deps.sh --sanitize as root (it adds deb-src entries and dpkg-dev)" >&2
    exit 1
  fi
  (cd "$work" && apt-get source -qq "tiff=$version" && mv "tiff-${version%%-*}" src) >&2
fi

generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache)
echo "build-sanitized-libtiff: building tiff $version with $cflags" >&2
cmake -S "$work/src" -B "$work/build" "${generator[@]}" "${launcher[@]}" "${configure[@]}" \
  -DCMAKE_C_COMPILER="$cc" -DCMAKE_C_FLAGS="$cflags -ffile-prefix-map=$work/src=$prefix/src" \
  -DCMAKE_SHARED_LINKER_FLAGS="$flags" \
  -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_INSTALL_LIBDIR=lib >/dev/null
cmake --build "$work/build" --parallel "$(nproc)" >/dev/null
# Installed into the work folder and then moved, so an interrupted build leaves nothing that
# looks finished.
DESTDIR="$work/stage" cmake --install "$work/build" >/dev/null
# The sources stay beside the library: the sanitizers' reports name their lines.
mv "$work/src" "$work/stage$prefix/src"
rm -rf "$prefix"
mv "$work/stage$prefix" "$prefix"
echo "build-sanitized-libtiff: built in $(($(date +%s) - started)) s: $prefix" >&2
echo "$prefix"
