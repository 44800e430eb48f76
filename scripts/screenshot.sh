#!/usr/bin/env bash
# Starts the desktop application on a virtual X display and saves pictures of its main window:
# icon sizes Small and Huge, with the default theme pack and with no theme pack at all, each with a
# fresh configuration folder; for each also the open File menu and the Add chooser.
#   scripts/screenshot.sh OUTDIR
# Small at the smallest window (510 x 330), Huge in a window wide enough for the whole toolbar.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:?usage: scripts/screenshot.sh OUTDIR}
build=${TESSALINE_BUILD_DIR:-$root/build}
"$root/scripts/install-deps.sh" --screenshots
[ -x "$build/tessaline" ] || "$root/scripts/build.sh" >&2
mkdir -p "$out"
out=$(cd "$out" && pwd)

source "$root/scripts/virtual-desktop.sh"

start_virtual_desktop

# A copy of the executable in a folder of its own has no gfx/ beside it: no theme pack at all.
mkdir -p "$scratch/bare"
cp "$build/tessaline" "$scratch/bare/tessaline"

shoot() {
  local name=$1 executable=$2 size=$3 width=$4 height=$5
  local home="$scratch/$name"
  mkdir -p "$home/config/Morvane/tessaline" "$home/runtime"
  chmod 700 "$home/runtime"
  printf '\xEF\xBB\xBF\r\n[Window]\r\nWidth = %s\r\nHeight = %s\r\n[Interface]\r\nUI Size = %s\r\n' \
    "$width" "$height" "$size" >"$home/config/Morvane/tessaline/config.ini"
  XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$home/runtime" QT_QPA_PLATFORM=xcb \
    "$executable" >"$home/out.log" 2>&1 &
  local app=$!
  local window
  window=$(xdotool search --sync --onlyvisible --name '^Tessaline ' | head -n 1)
  sleep 1
  import -window "$window" -frame "$out/$name.png"
  # The File menu, opened by a click on its title, shows the menu icons and shortcut texts.
  xdotool windowactivate --sync "$window"
  eval "$(xdotool getwindowgeometry --shell "$window")"
  xdotool mousemove --window "$window" 20 10 click 1
  sleep 1
  import -window root -crop "$((WIDTH + 40))x$((HEIGHT + 60))+$((X - 20))+$((Y - 40))" "$out/$name-menu.png"
  xdotool key Escape Escape
  sleep 0.3
  # A double click in the file list opens the Add chooser over the window.
  xdotool mousemove --window "$window" 100 200 click --repeat 2 --delay 80 1
  sleep 1
  import -window root -crop "$((WIDTH + 40))x$((HEIGHT + 60))+$((X - 20))+$((Y - 40))" "$out/$name-add.png"
  xdotool key Escape
  sleep 0.3
  xdotool windowactivate --sync "$window" key alt+x
  local status=0
  wait "$app" || status=$?
  echo "$name: $out/$name.png $out/$name-menu.png $out/$name-add.png, exit status $status"
  cat "$home/out.log"
}

shoot default-small "$build/tessaline" 0 510 330
shoot default-huge "$build/tessaline" 4 860 520
shoot none-small "$scratch/bare/tessaline" 0 510 330
shoot none-huge "$scratch/bare/tessaline" 4 860 520
