#!/usr/bin/env bash
# Builds the Debian package with cpack, checks it with lintian, installs it with apt-get as a user
# would, converts the samples with /usr/bin/tessaline (the same files as the build tree's
# executable writes), validates the installed desktop entry, AppStream file and manual page, and
# removes the package again, also when a check fails: nothing of it stays on the machine.
#   deb_test.sh BUILD_DIR SOURCE_DIR [--sanitized]
# Exits 77 (skipped) in the sanitizer build, when not run as root, and when a tessaline package or
# /usr/bin/tessaline is already there (the test never replaces or removes what it did not install).
set -uo pipefail
build=$1
source=$2
if [ "${3:-}" = --sanitized ]; then
  echo "skipped: the package is built from the normal build only (a sanitized executable is no release)"
  exit 77
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "skipped: installing a package needs root (CI runs as root)"
  exit 77
fi
# True while dpkg holds anything of a tessaline package (installed, half-installed, configuration).
package_present() {
  local state
  state=$(dpkg-query -W -f='${db:Status-Status}' tessaline 2>/dev/null)
  [ -n "$state" ] && [ "$state" != not-installed ]
}
if package_present || [ -e /usr/bin/tessaline ]; then
  echo "skipped: tessaline is installed on this machine already; the test leaves it alone"
  exit 77
fi

fail() {
  echo "package test: $*" >&2
  exit 1
}

work=$(mktemp -d)
installed=no
remove_package() {
  if [ "$installed" = yes ] && package_present; then
    # dpkg removes it as apt-get remove --purge would, without reading the package lists first;
    # it is tried again while another package tool holds the lock.
    local attempt
    for attempt in $(seq 1 60); do
      DEBIAN_FRONTEND=noninteractive dpkg --purge tessaline >"$work/remove.log" 2>&1 && break
      [ "$attempt" -lt 60 ] && sleep 2
    done
    if package_present; then
      echo "package test: removing the package failed:" >&2
      cat "$work/remove.log" >&2
    fi
    installed=no
  fi
}
trap 'remove_package; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" HOME="$work/home"
mkdir -p "$XDG_RUNTIME_DIR" "$HOME" && chmod 700 "$XDG_RUNTIME_DIR"

version=$("$build/tessaline" --version) || fail "the build's tessaline --version failed"
started=$(date +%s%N)
(cd "$work" && cpack -G DEB -B "$work/package" --config "$build/CPackConfig.cmake" >"$work/cpack.log" 2>&1) ||
  { cat "$work/cpack.log" >&2; fail "cpack -G DEB failed"; }
echo "cpack took $((($(date +%s%N) - started) / 1000000)) ms"
deb=$work/package/tessaline_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "cpack wrote no $(basename "$deb"): $(ls "$work/package")"

# What dpkg-shlibdeps found (the libraries the executable links, among them FreeImage and Qt), and
# the fonts of the default watermark.
depends=$(dpkg-deb --field "$deb" Depends)
for library in libfreeimage3 libqt6widgets6 libtiff6 libdevil1c2 fonts-liberation; do
  grep -q "\\b$library\\b" <<<"$depends" || fail "the package does not depend on $library: $depends"
done

started=$(date +%s%N)
lintian --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1
status=$?
echo "lintian took $((($(date +%s%N) - started) / 1000000)) ms"
grep -v 'running with root privileges' "$work/lintian.log"
[ "$status" -eq 0 ] || fail "lintian reported errors or warnings (exit $status)"

installed=yes
started=$(date +%s%N)
(cd "$(dirname "$deb")" && DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends -o DPkg::Lock::Timeout=120 \
  "./$(basename "$deb")" >"$work/install.log" 2>&1) || { cat "$work/install.log" >&2; fail "apt-get install failed"; }
echo "apt-get install took $((($(date +%s%N) - started) / 1000000)) ms"
[ "$(dpkg-query -W -f='${db:Status-Status}' tessaline)" = installed ] || fail "dpkg does not list tessaline as installed"

for file in /usr/bin/tessaline /usr/share/tessaline/gfx/handdrawn.zip /usr/share/tessaline/tessaline.html \
  /usr/share/applications/tessaline.desktop /usr/share/metainfo/example.morvane.tessaline.metainfo.xml \
  /usr/share/icons/hicolor/scalable/apps/tessaline.svg /usr/share/icons/hicolor/48x48/apps/tessaline.png \
  /usr/share/man/man1/tessaline.1.gz /usr/share/doc/tessaline/copyright /usr/share/doc/tessaline/changelog.gz; do
  dpkg -S "$file" >/dev/null 2>&1 || fail "the package does not hold $file"
  [ -f "$file" ] || fail "$file is not installed"
done
[ "$(/usr/bin/tessaline --version)" = "$version" ] || fail "/usr/bin/tessaline --version is not $version"

# The installed, stripped program writes exactly what the build tree's program writes.
mkdir "$work/installed" "$work/built"
/usr/bin/tessaline -i "$source/samples" -o "$work/installed" -c png -q || fail "/usr/bin/tessaline failed on the samples"
"$build/tessaline" -i "$source/samples" -o "$work/built" -c png -q || fail "the build's tessaline failed on the samples"
[ "$(find "$work/installed" -type f | wc -l)" -ge 4 ] || fail "/usr/bin/tessaline wrote too few files"
diff -r "$work/built" "$work/installed" >&2 || fail "/usr/bin/tessaline wrote other files than the build's tessaline"

desktop-file-validate /usr/share/applications/tessaline.desktop || fail "desktop-file-validate"
appstreamcli validate --no-net /usr/share/metainfo/example.morvane.tessaline.metainfo.xml ||
  fail "appstreamcli validate --no-net"
[ "$(man -w tessaline)" = /usr/share/man/man1/tessaline.1.gz ] || fail "man does not find tessaline(1)"
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings tessaline 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "man page warnings: $warnings"

started=$(date +%s%N)
remove_package
echo "the removal took $((($(date +%s%N) - started) / 1000000)) ms"
[ ! -e /usr/bin/tessaline ] || fail "/usr/bin/tessaline is still there after the removal"
! package_present || fail "dpkg still holds part of the tessaline package"
[ ! -e /usr/share/tessaline ] || fail "/usr/share/tessaline is still there after the removal"
echo "package test: passed"
