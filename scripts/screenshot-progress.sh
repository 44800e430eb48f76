#!/usr/bin/env bash
# Starts the desktop application on a virtual X display and saves pictures of its progress windows:
# the import window of a folder of 10,000 small files named on the command line, the list after it,
# the import window of an empty folder (an empty, still bar for its 0.7 s), a conversion of 40 large pages under way, the stop question asked by the close box, and the
# report after answering Yes.
#   scripts/screenshot-progress.sh OUTDIR
# Needs Xvfb, openbox, xdotool and ImageMagick (scripts/install-deps.sh --screenshots).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:?usage: scripts/screenshot-progress.sh OUTDIR}
build=${TESSALINE_BUILD_DIR:-$root/build}
mkdir -p "$out"
out=$(cd "$out" && pwd)

source "$root/scripts/virtual-desktop.sh"

# Inputs: a folder of one-byte .tif files in 100 subfolders (listed, never converted) and 40 large
# pages, slow enough to catch the conversion under way.
for d in $(seq -w 0 99); do
  mkdir -p "$scratch/many/f$d"
  for i in $(seq 1 100); do echo x >"$scratch/many/f$d/$i.tif"; done
done
mkdir -p "$scratch/large"
convert -size 2400x1800 gradient:red-blue -compress lzw "$scratch/large/p00.tif"
for i in $(seq -w 1 39); do cp "$scratch/large/p00.tif" "$scratch/large/p$i.tif"; done

start_virtual_desktop

mkdir -p "$scratch/config" "$scratch/runtime"
chmod 700 "$scratch/runtime"
export XDG_CONFIG_HOME="$scratch/config" XDG_RUNTIME_DIR="$scratch/runtime" QT_QPA_PLATFORM=xcb

start() {
  "$build/tessaline" "$1" >>"$scratch/out.log" 2>&1 &
  app=$!
}
quit() {
  xdotool windowactivate --sync "$1" key alt+x
  wait "$app" || true
}

# A folder named on the command line is imported under the import window.
start "$scratch/many"
xdotool search --sync --onlyvisible --name '^Importing$' >/dev/null
import -window root "$out/import.png"
sleep 2
import -window root "$out/import-done.png"
main=$(xdotool search --onlyvisible --name '^Tessaline ' | head -n 1)
quit "$main"

# An empty folder: nothing to count, so the bar stays empty and still.
mkdir -p "$scratch/empty"
start "$scratch/empty"
xdotool search --sync --onlyvisible --name '^Importing$' >/dev/null
import -window root "$out/import-empty.png"
main=$(xdotool search --sync --onlyvisible --name '^Tessaline ' | head -n 1)
quit "$main"

# F5 converts; the close box asks whether to stop; Yes ends the run before the next file.
start "$scratch/large"
main=$(xdotool search --sync --onlyvisible --name '^Tessaline ' | head -n 1)
sleep 2
xdotool windowactivate --sync "$main" key F5
progress=$(xdotool search --sync --onlyvisible --name '^Converting' | head -n 1)
sleep 2
import -window root "$out/converting.png"
xdotool windowactivate --sync "$progress" key alt+F4
question=$(xdotool search --sync --onlyvisible --name '^Warning$' | head -n 1)
import -window root "$out/stop-question.png"
xdotool windowactivate --sync "$question" key Return
sleep 3
import -window root "$out/stopped.png"
xdotool windowactivate --sync "$progress" key Return
sleep 1
quit "$main"
echo "pictures in $out: import.png import-done.png import-empty.png converting.png stop-question.png stopped.png"
cat "$scratch/out.log"
