#!/usr/bin/env bash
# Starts the desktop application on a virtual X display with the accessibility bus, with a frame,
# a text watermark and JPEG quality 40 set, and drives its preview window as a user would
# (scripts/preview_drive.py): from the Converter menu and from F6, a page chosen, fit and 100 %,
# side by side and split. Saves a picture of the screen at each step into OUTDIR.
#   scripts/preview-drive.sh OUTDIR [TIFF ...]     (default: the bundled samples)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:?usage: scripts/preview-drive.sh OUTDIR [TIFF ...]}
shift
build=${TESSALINE_BUILD_DIR:-$root/build}
"$root/scripts/install-deps.sh" --screenshots
[ -x "$build/tessaline" ] || "$root/scripts/build.sh" >&2
mkdir -p "$out"
out=$(cd "$out" && pwd)
inputs=("$@")
[ ${#inputs[@]} -gt 0 ] || inputs=("$root/samples/document-3-pages.tif" "$root/samples/photo-rgb.tif")

source "$root/scripts/virtual-desktop.sh"
start_virtual_desktop

home="$scratch/home"
mkdir -p "$home/config/Morvane/tessaline" "$home/runtime" "$home/out"
chmod 700 "$home/runtime"
printf '\xEF\xBB\xBF\r\n[Window]\r\nX = 10\r\nY = 10\r\nWidth = 560\r\nHeight = 420\r\n[Output]\r\nFormat = jpg\r\nJPG Quality = 40\r\n[Frame]\r\nDo Frame = 1\r\nSolid Left = 24\r\nSolid Right = 24\r\nSolid Top = 24\r\nSolid Bottom = 24\r\nSolid Left Color = B22222\r\nSolid Right Color = B22222\r\nSolid Top Color = B22222\r\nSolid Bottom Color = B22222\r\n[Watermark]\r\nDo Watermark = 1\r\nText = Proof %%filename%%\r\nFont Size = 36\r\nBack Opacity = 160\r\n[File]\r\nRecent Out Folders = %s\r\n' \
  "$home/out/" >"$home/config/Morvane/tessaline/config.ini"

export XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$home/runtime"
dbus-run-session -- bash -c '
  /usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
  launcher=$!
  sleep 1
  QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$0" "${@:2}" >"'"$home"'/app.log" 2>&1 &
  app=$!
  status=0
  /usr/bin/python3 "'"$root"'/scripts/preview_drive.py" "$1" || status=$?
  kill "$app" "$launcher" 2>/dev/null || true
  wait "$app" 2>/dev/null || true
  exit "$status"
' "$build/tessaline" "$out" "${inputs[@]}"
# Nothing is written to the output folder by the preview.
if [ -n "$(ls -A "$home/out")" ]; then
  echo "the preview wrote into the output folder: $(ls -A "$home/out")" >&2
  exit 1
fi
