#!/usr/bin/env bash
# Times one huge RGB page (LZW) with a frame and a watermark to JPEG (quality 95, no chroma
# subsampling) by two Tessaline executables, one after the other: a text watermark and a turned
# picture watermark, each under a frame; and by AFTER without either, for what the drawing adds.
# Prints a markdown table of wall time, peak resident memory and output size (from
# /usr/bin/time -v), and whether the two outputs are the same bytes.
#
#   bench/drawing.sh BEFORE AFTER [WIDTH HEIGHT]
#
# WIDTH x HEIGHT defaults to 20000 x 15000. The page is made in a scratch folder under /tmp (TMPDIR)
# by tools/make-huge-page (built here when missing) and removed at the end with every output.
# Not part of the test suite.
set -euo pipefail

if [ $# -ne 2 ] && [ $# -ne 4 ]; then
  echo "usage: bench/drawing.sh BEFORE AFTER [WIDTH HEIGHT]" >&2
  exit 2
fi
before=$(realpath "$1")
after=$(realpath "$2")
width=${3:-20000}
height=${4:-15000}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TESSALINE_BUILD_DIR:-$root/build}
if [ ! -x "$build/tools/make-huge-page" ]; then
  cmake --build "$build" --target make-huge-page >/dev/null
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tessaline-drawing.XXXXXX")
trap 'rm -rf "$work"' EXIT
"$build/tools/make-huge-page" "$work/page.tif" "$width" "$height" lzw

# A 600 x 400 picture with a transparent corner, written as a PNG by python3's zlib.
python3 - "$work/mark.png" <<'PY'
import struct, sys, zlib
w, h = 600, 400
rows = bytearray()
for y in range(h):
    rows.append(0)
    for x in range(w):
        rows += bytes((x * 255 // w, y * 255 // h, 128, 0 if x < w // 4 and y < h // 4 else 200))
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
open(sys.argv[1], "wb").write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
                              + chunk(b"IDAT", zlib.compress(bytes(rows))) + chunk(b"IEND", b""))
PY

frame=(--fr-solid-left=60 --fr-solid-right=60 --fr-solid-top=80 --fr-solid-bottom=80
       --fr-solid-left-color=FF8000 --fr-solid-opacity=200)
declare -A marks=(
  [text]="--wm-text=(c)_Tessaline_%filename% --wm-font=Liberation_Sans --wm-font-size=160 --wm-text-antialiasing --wm-back-opacity=90 --wm-text-position=BOTTOMRIGHT --wm-text-boundary=FRAME"
  [picture]="--wm-image=$work/mark.png --wm-image-rotation=30 --wm-image-opacity=180 --wm-image-position=MIDDLECENTER")

source "$root/bench/measure.sh"

echo "One ${width} x ${height} RGB page (LZW) to JPEG q95 with a frame and a watermark, \`bench/drawing.sh\` on $(date -u '+%Y-%m-%d %H:%M UTC'), --threads=1:"
echo
echo "| watermark | build | wall s | peak RSS MiB | output MiB | status |"
echo "|---|---|---:|---:|---:|---|"
# The same page without frame or watermark by AFTER: what the drawing adds.
read -r wall rss size status <<<"$(measure "$work/out-plain" "$after" -i "$work/page.tif" -o "$work/out-plain" \
  -c jpg --jpg-quality=95 --jpg-chroma=none --threads=1 -q)"
echo "| none | after | $wall | $rss | $size | $status |"
rm -rf "$work/out-plain"
for mark in text picture; do
  # The option values hold no spaces; "_" stands for one in the text and the font name.
  read -r -a mark_args <<<"${marks[$mark]}"
  mark_args=("${mark_args[@]//_/ }")
  for label in before after; do
    binary=$before
    [ "$label" = after ] && binary=$after
    read -r wall rss size status <<<"$(measure "$work/out-$label" "$binary" -i "$work/page.tif" -o "$work/out-$label" \
      -c jpg --jpg-quality=95 --jpg-chroma=none "${frame[@]}" "${mark_args[@]}" --threads=1 -q)"
    echo "| $mark | $label | $wall | $rss | $size | $status |"
  done
  if cmp -s "$work/out-before/page.jpg" "$work/out-after/page.jpg"; then same=same; else same=DIFFERENT; fi
  echo "| $mark | outputs | | | | $same |"
  rm -rf "$work/out-before" "$work/out-after"
done
