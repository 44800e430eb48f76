#!/usr/bin/env bash
# Measures what each step and writer holds at its peak, the factors behind the memory estimate of
# src/engine/run/page_memory.cpp. Converts one 6000 x 4000 page per configuration with one worker and
# prints the peak resident size beyond that of converting a 16 x 16 page, in bytes per pixel of
# the page (a 24-bit page held once is 3.0).
#
#   bench/memory_factors.sh [WORK_DIR]
#
# Needs /usr/bin/time. Takes a few minutes; the inputs (about 200 MB) are removed at the end.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${TESSALINE_BUILD_DIR:-$root/build}
work=${1:-$(mktemp -d /tmp/tessaline-factors.XXXXXX)}
trap 'rm -rf "$work"' EXIT
cmake --build "$build" --target tessaline pipeline_memory_bench >/dev/null
tessaline=$build/tessaline
make=$build/bench/pipeline_memory_bench
width=6000
height=4000

mkdir -p "$work/runtime" && chmod 700 "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime
for kind in rgb24 rgb48 grey16 bilevel; do
  "$make" --make "$work/$kind.tif" 1 $width $height $kind 2>/dev/null
  "$make" --make "$work/$kind-tiny.tif" 1 16 16 $kind 2>/dev/null
done

peak_kb() {
  rm -rf "$work/out" && mkdir "$work/out"
  /usr/bin/time -f "%M" -o "$work/time.txt" "$tessaline" -i "$1" -o "$work/out" -q --threads=1 "${@:2}" >/dev/null 2>&1 || true
  tail -n 1 "$work/time.txt"
}

# name, input kind, options
measure() {
  local name=$1 kind=$2
  shift 2
  local big small
  big=$(peak_kb "$work/$kind.tif" "$@")
  small=$(peak_kb "$work/$kind-tiny.tif" "$@")
  awk -v n="$name" -v k="$kind" -v b="$big" -v s="$small" -v p=$((width * height)) \
    'BEGIN { printf "%-16s %-8s %8.1f MiB  %5.2f bytes/pixel\n", n, k, (b - s) / 1024, (b - s) * 1024 / p }'
}

echo "configuration    input      beyond a tiny page  per pixel"
measure decode-jpg rgb24 -c jpg
measure decode-png rgb24 -c png
measure rotate-90 rgb24 -c jpg --rotation=90
measure rotate-10 rgb24 -c jpg --rotation=10
measure rotate-45 rgb24 -c jpg --rotation=45
measure rotate-45-adv rgb24 -c jpg --rotation=45 --rotation-type=advanced
measure resize-50% rgb24 -c jpg --width=50 --width-unit=percent --height=50 --height-unit=percent
measure resize-200% rgb24 -c jpg --width=200 --width-unit=percent --height=200 --height-unit=percent
measure greyscale rgb24 -c jpg --greyscale
measure threshold rgb24 -c png --threshold=128
measure frame rgb24 -c jpg --fr-solid-left=10
measure watermark rgb24 -c jpg --wm-text=Hello --wm-font=Arial
measure depth-8 rgb24 -c png --png-bpp=8
measure depth-1 rgb24 -c png --png-bpp=1
measure depth-32 rgb24 -c png --png-bpp=32
measure depth-48 rgb24 -c png --png-bpp=48
measure tone-map rgb48 -c jpg
measure grey-16 grey16 -c jpg
measure bilevel bilevel -c png
measure bilevel-frame bilevel -c png --fr-solid-left=10
for key in bmp dds exr gif hdr ico j2k jng jp2 jxr pbm pcx pfm pgm png ppm psd tga tiff wbmp webp xpm; do
  measure "writer-$key" rgb24 -c $key
done
