#!/usr/bin/env bash
# Installs every Debian package Tessaline needs to build, test and run.
# Idempotent: does nothing when everything is present; runs apt-get update first otherwise.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache
  libfreeimage-dev libdevil-dev libjxr-dev libjxr-tools libtiff-dev
  qt6-base-dev libarchive-dev zlib1g-dev
  fonts-liberation libfontconfig-dev
  libgtest-dev libgmock-dev
  xvfb
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages: ${missing[*]}" >&2
  echo "install-deps: run this script as root to install them" >&2
  exit 1
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y --no-install-recommends "${missing[@]}"
