#!/usr/bin/env bash
# Huge pages: wall time and peak resident memory of converting one 20000 x 15000 RGB page
# (900 MB of pixels) with Tessaline, libvips and GraphicsMagick side by side, from an uncompressed
# and from an LZW copy of the page, and eight such pages on two workers. Writes bench/STREAMED.md.
#
#   bench/streamed_bench.sh [WORK_DIR]
#
# WORK_DIR (default: a fresh folder in /tmp, removed at the end) needs about 3 GB. Needs:
# libvips-tools graphicsmagick time. Tessaline streams the page where its writer has a streamed
# form (the "path" column says which path it took); the others convert it whole.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${TESSALINE_BUILD_DIR:-$root/build}
work=${1:-$(mktemp -d /tmp/tessaline-streamed.XXXXXX)}
trap 'rm -rf "$work"' EXIT
for tool in vips gm /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "bench: $tool is missing (apt-get install libvips-tools graphicsmagick time)" >&2; exit 1; }
done
cmake --build "$build" --target tessaline pipeline_memory_bench >/dev/null
tessaline=$build/tessaline
width=20000
height=15000

mkdir -p "$work/in" "$work/out" "$work/runtime" && chmod 700 "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime
"$build/bench/pipeline_memory_bench" --make "$work/in/none.tif" 1 $width $height 2>/dev/null
"$tessaline" -q -i "$work/in/none.tif" -o "$work/out" -c tiff --tiff-compression=lzw
mv "$work/out/none.tiff" "$work/in/lzw.tif"

# Runs a command under /usr/bin/time and prints "seconds|MiB"; a command that fails stops the bench.
measure() {
  /usr/bin/time -f "%e %M" -o "$work/time.txt" "$@" >/dev/null 2>&1 || { echo "bench: failed: $*" >&2; exit 1; }
  read -r seconds kib < <(tail -n 1 "$work/time.txt")
  echo "$seconds|$((kib / 1024))"
  rm -rf "$work/out" && mkdir "$work/out"
}

# Target: name, Tessaline options, vips output, GraphicsMagick options, GraphicsMagick output.
targets=("TIFF LZW|-c tiff --tiff-compression=lzw|v.tif[compression=lzw]|-compress LZW|g.tif"
         "PPM|-c ppm|v.ppm||g.ppm"
         "JPEG q95|-c jpg --jpg-quality=95|v.jpg[Q=95]|-quality 95|g.jpg"
         "PNG zlib6|-c png --png-compression=zlib6|v.png[compression=6]|-quality 60|g.png")

rows=()
for input in none lzw; do
  page=$work/in/$input.tif
  for target in "${targets[@]}"; do
    IFS='|' read -r name options vips_out gm_options gm_out <<<"$target"
    # shellcheck disable=SC2086
    ours=$(measure "$tessaline" -q --threads=1 -i "$page" -o "$work/out" $options)
    # The streamed path leaves no page-sized peak.
    path=$([ "${ours#*|}" -lt 300 ] && echo streamed || echo "in memory")
    theirs_vips=$(measure vips copy "$page" "$work/out/$vips_out")
    # shellcheck disable=SC2086
    theirs_gm=$(measure gm convert "$page" $gm_options "$work/out/$gm_out")
    rows+=("| $input | $name | $path | ${ours%|*} s | ${ours#*|} MiB | ${theirs_vips%|*} s | ${theirs_vips#*|} MiB | ${theirs_gm%|*} s | ${theirs_gm#*|} MiB |")
  done
done

# Eight such pages on two workers, thresholded to PBM: each worker streams its own page.
mkdir -p "$work/eight"
for i in 1 2 3 4 5 6 7 8; do ln "$work/in/lzw.tif" "$work/eight/page-$i.tif"; done
eight=$(measure "$tessaline" -q --threads=2 -i "$work/eight" -o "$work/out" -c pbm --threshold=128)

{
  echo "# Huge pages"
  echo
  echo "One ${width} x ${height} RGB page, made by \`bench/streamed_bench.sh\` on $(nproc) cores ($(date -u +%Y-%m-%d))."
  echo "Tessaline with \`--threads=1\`; wall time and peak resident memory of each run."
  echo
  echo "| input | to | Tessaline path | Tessaline | memory | libvips | memory | GraphicsMagick | memory |"
  echo "|---|---|---|---|---|---|---|---|---|"
  printf '%s\n' "${rows[@]}"
  echo
  echo "Eight such pages (LZW) on two workers to PBM (\`--threshold=128\`): ${eight%|*} s, ${eight#*|} MiB."
} >"$root/bench/STREAMED.md"
cat "$root/bench/STREAMED.md"
