#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR, checks the layout and the desktop files, moves the
# installed tree to another prefix and runs the executable from there: the version, one
# conversion, and the data folder (manual and theme pack) where the program looks for it.
#   install_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "install test: $*" >&2
  exit 1
}

DESTDIR="$work/stage" cmake --install "$build" --prefix /usr >/dev/null
prefix="$work/stage/usr"

for file in bin/tessaline share/tessaline/tessaline.html share/tessaline/gfx/handdrawn.zip \
  share/applications/tessaline.desktop share/metainfo/example.morvane.tessaline.metainfo.xml \
  share/man/man1/tessaline.1 share/icons/hicolor/scalable/apps/tessaline.svg; do
  [ -f "$prefix/$file" ] || fail "missing $file"
done
for size in 16 24 32 48 64 128 256; do
  icon="$prefix/share/icons/hicolor/${size}x${size}/apps/tessaline.png"
  [ -f "$icon" ] || fail "missing the ${size} px icon"
done
for picture in $(grep -o 'src="manual/[^"]*"' "$prefix/share/tessaline/tessaline.html" | cut -d'"' -f2); do
  [ -f "$prefix/share/tessaline/$picture" ] || fail "the manual's picture $picture is not installed"
done

desktop_entry="$prefix/share/applications/tessaline.desktop"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop_entry" || fail "desktop-file-validate"
fi
grep -qx 'Exec=tessaline %F' "$desktop_entry" || fail "the desktop entry does not pass the files (%F)"
grep -q '^MimeType=.*image/tiff;' "$desktop_entry" || fail "the desktop entry does not open image/tiff"
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$prefix/share/metainfo/example.morvane.tessaline.metainfo.xml" >/dev/null ||
    fail "appstreamcli validate"
fi
if command -v man >/dev/null; then
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$prefix/share/man/man1/tessaline.1" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man page warnings: $warnings"
fi

# Relocated: the data folder is found from the executable's folder, whatever the prefix.
moved="$work/elsewhere/opt/tessaline"
mkdir -p "$(dirname "$moved")"
mv "$prefix" "$moved"
program="$moved/bin/tessaline"
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

version=$("$program" --version)
[ "$version" = "2.6" ] || fail "--version printed '$version'"

mkdir "$work/out"
"$program" -q -i "$source/samples/photo-rgb.tif" -o "$work/out" -c png || fail "the conversion failed"
[ -s "$work/out/photo-rgb.png" ] || fail "the conversion wrote no photo-rgb.png"
[ ! -e "$XDG_CONFIG_HOME/Morvane" ] || fail "the console run touched the configuration"

# The program looks for gfx/ beside itself first, then in ../share/tessaline/ (app/program_info.cpp).
[ ! -e "$moved/bin/gfx" ] || fail "gfx/ was installed beside the executable"
[ -f "$moved/bin/../share/tessaline/gfx/handdrawn.zip" ] || fail "the theme pack is not in the data folder"
[ -f "$moved/bin/../share/tessaline/tessaline.html" ] || fail "the manual is not in the data folder"
echo "install test: passed"
