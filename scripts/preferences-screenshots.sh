#!/usr/bin/env bash
# Starts the desktop application on a virtual X display with the default theme, opens Preferences
# from the Converter menu and saves a picture of every page: Output with the JPG and the TIFF
# sub-page, Frame with its solid-colour area, Watermark with the text area at its top and bottom
# and with the image area, Transform at its top and bottom.
#   scripts/preferences-screenshots.sh OUTDIR
# Needs Xvfb, openbox, xdotool and ImageMagick (scripts/install-deps.sh --screenshots).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:?usage: scripts/preferences-screenshots.sh OUTDIR}
build=${TESSALINE_BUILD_DIR:-$root/build}
mkdir -p "$out"
out=$(cd "$out" && pwd)

source "$root/scripts/virtual-desktop.sh"

start_virtual_desktop

# The first visible window whose title matches; windows that come and go during the search (menus)
# make xdotool fail now and then, so it asks again.
find_window() {
  local found=""
  for _ in $(seq 100); do
    found=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1) || true
    [ -n "$found" ] && break
    sleep 0.1
  done
  echo "$found"
}

# Starts the program with the given Output/Format and Watermark/Do Watermark, opens Preferences
# and leaves its window id in $dialog and the program's process id in $app.
start() {
  local name=$1 format=$2 watermark=$3
  home="$scratch/$name"
  mkdir -p "$home/config/Morvane/tessaline" "$home/runtime"
  chmod 700 "$home/runtime"
  printf '\xEF\xBB\xBF\r\n[Output]\r\nFormat = %s\r\n[Frame]\r\nDo Frame = 1\r\n[Watermark]\r\nDo Watermark = %s\r\n' \
    "$format" "$watermark" >"$home/config/Morvane/tessaline/config.ini"
  XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$home/runtime" QT_QPA_PLATFORM=xcb \
    "$build/tessaline" >"$home/out.log" 2>&1 &
  app=$!
  main=$(find_window '^Tessaline ')
  sleep 1
  xdotool windowactivate --sync "$main"
  # The Converter menu is the third title; its last item is Preferences.
  xdotool mousemove --window "$main" 110 10 click 1
  sleep 0.5
  xdotool key Up Return
  dialog=$(find_window '^Preferences\.\.\.$')
  sleep 0.5
}

shot() {
  sleep 0.4
  import -window "$dialog" -frame "$out/$1.png"
  echo "$out/$1.png"
}

# Rolls the mouse wheel over the rows of the page area (the rows, not the scroll bar: the wheel
# must scroll past the lists and spin boxes without changing them).
scroll() {
  xdotool mousemove --window "$dialog" 330 200
  for _ in $(seq "$1"); do xdotool click 5; done
}

# Clicks the entry of a page (0-8) in the page list.
page() {
  xdotool mousemove --window "$dialog" 60 $((18 + 14 * $1)) click 1
}

finish() {
  xdotool windowactivate --sync "$dialog" key Escape
  sleep 0.3
  xdotool windowactivate --sync "$main" key alt+x
  wait "$app" || true
  cat "$home/out.log"
}

start jpg jpg 1
shot 0-general
page 1; shot 1-interface
page 2; shot 2-input
page 3; shot 3-output-jpg
page 4; shot 4-transform-top
scroll 20; shot 4-transform-bottom
page 5; shot 5-adjustment
page 6; shot 6-frame-solid
page 7; shot 7-watermark-text-top
scroll 80; shot 7-watermark-text-bottom
page 8; shot 8-advanced
finish

start tiff tiff 2
page 3; shot 3-output-tiff
page 7; shot 7-watermark-image
finish
