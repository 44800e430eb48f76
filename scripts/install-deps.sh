#!/usr/bin/env bash
# Installs every Debian package Tessaline needs to build, test and run.
# Idempotent: does nothing when everything is present; runs apt-get update first otherwise.
#   --bench   also the tools the benchmark compares against (bench/run.sh)
#   --fuzz    also clang and its fuzzing runtime (fuzz/run.sh)
#   --sanitize also what scripts/build-sanitized-libtiff.sh needs: dpkg-dev, libtiff's codec libraries
#              and deb-src entries for apt-get source (added beside debian.sources when missing)
#   --screenshots  also the window manager, X tools and accessibility bus the screenshot scripts drive
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache
  libfreeimage-dev libdevil-dev libjxr-dev libjxr-tools libtiff-dev liblcms2-dev
  libjpeg-dev libpng-dev # the streamed JPEG and PNG writers
  libopenjp2-7-dev # JPEG 2000 pages too small for FreeImage's encoder
  qt6-base-dev qt6-svg-dev libarchive-dev zlib1g-dev
  fonts-liberation fonts-dejavu-core libfontconfig-dev
  libgtest-dev libgmock-dev
  libgs-common # a press CMYK profile (default_cmyk.icc) for the colour-managed CMYK tests
  xvfb xdotool openbox desktop-file-utils appstream man-db parallel
  python3 # scripts/check-includes.py
  slurmctld slurmd slurm-client munge iproute2 # the Slurm array test's private cluster
  dpkg-dev fakeroot lintian # the Debian package (cpack -G DEB, dpkg-shlibdeps) and its check
)
for extra in "$@"; do
  case "$extra" in
    --bench) packages+=(graphicsmagick imagemagick libvips-tools hyperfine time bc) ;;
    --fuzz) packages+=(clang libclang-rt-14-dev dpkg-dev) ;;
    --sanitize) packages+=(dpkg-dev libdeflate-dev libjbig-dev liblerc-dev liblzma-dev libzstd-dev libwebp-dev) ;;
    --screenshots) packages+=(openbox xdotool imagemagick x11-utils dbus at-spi2-core python3-pyatspi) ;;
    *) echo "install-deps: unknown option $extra" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done

# The sanitizer build compiles libtiff from Debian's source package: apt-get source needs deb-src
# entries, which a fresh Debian 12 does not have.
sources=()
if [[ " $* " == *" --sanitize "* || " $* " == *" --fuzz "* ]] &&
  ! grep -qs '^Types:.*deb-src' /etc/apt/sources.list.d/*.sources &&
  ! grep -qs '^deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/*.list; then
  sources=(/etc/apt/sources.list.d/tessaline-deb-src.sources)
fi

if [ ${#missing[@]} -eq 0 ] && [ ${#sources[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  [ ${#missing[@]} -eq 0 ] || echo "install-deps: missing packages: ${missing[*]}" >&2
  [ ${#sources[@]} -eq 0 ] || echo "install-deps: missing deb-src entries for apt-get source" >&2
  echo "install-deps: run this script as root to install them" >&2
  exit 1
fi

if [ ${#sources[@]} -ne 0 ]; then
  # The same mirrors and suites as the binary packages.
  echo "install-deps: adding ${sources[0]}"
  sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources >"${sources[0]}"
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update
if [ ${#missing[@]} -ne 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
