#!/usr/bin/env bash
# Times the conversion of one huge RGB page, uncompressed and LZW, by Tessaline, libvips and
# GraphicsMagick, one command after the other: to JPEG (quality 95, no chroma subsampling), PNG
# (zlib level 6), TIFF (LZW), a 50 % bicubic resize to JPEG and a quarter turn to JPEG (Tessaline
# turns counter-clockwise, the others clockwise: the same work). Prints a markdown table of wall
# time, peak resident memory and output size (each from /usr/bin/time -v).
#
#   bench/streaming.sh TESSALINE [WIDTH HEIGHT] [TABLE.md]
#
# TESSALINE is the executable to time, so that two builds can be compared; WIDTH x HEIGHT defaults
# to 20000 x 15000. The pages are made in a scratch folder under /tmp (TMPDIR) by
# tools/make-huge-page (built here when missing) and removed at the end, as is every output once
# measured. Needs libvips-tools, graphicsmagick and time (scripts/install-deps.sh --bench).
# Not part of the test suite.
#
# To measure less: STREAMING_WORKLOADS (default "jpg png tiff jpg-resize jpg-rot90"), STREAMING_INPUTS
# (default "none lzw") and STREAMING_TOOLS (default "tessaline vips gm") choose the rows; the eight
# pages run only with the jpg workload. STREAMING_BEFORE=EXECUTABLE adds a "before" tool, another
# Tessaline build timed the same way, for before/after figures in one run.
set -euo pipefail

if [ $# -lt 1 ] || [ $# -gt 4 ] || [ $# -eq 2 ]; then
  echo "usage: bench/streaming.sh TESSALINE [WIDTH HEIGHT] [TABLE.md]" >&2
  exit 2
fi
tessaline=$(realpath "$1")
width=${2:-20000}
height=${3:-15000}
table=${4:-}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TESSALINE_BUILD_DIR:-$root/build}

[ -x "$tessaline" ] || { echo "streaming: $tessaline is not an executable" >&2; exit 2; }
if [ ! -x "$build/tools/make-huge-page" ]; then
  "$root/scripts/build.sh" >/dev/null
  cmake --build "$build" --target make-huge-page >/dev/null
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tessaline-streaming.XXXXXX")
trap 'rm -rf "$work"' EXIT
# What to measure (see the head of this file).
read -r -a workloads <<<"${STREAMING_WORKLOADS:-jpg png tiff jpg-resize jpg-rot90}"
read -r -a inputs <<<"${STREAMING_INPUTS:-none lzw}"
read -r -a tools <<<"${STREAMING_TOOLS:-tessaline vips gm}"
before=${STREAMING_BEFORE:+$(realpath "$STREAMING_BEFORE")}
if [ -n "$before" ]; then tools=(before "${tools[@]}"); fi
for tool in "${tools[@]}" /usr/bin/time; do
  case $tool in tessaline | before) continue ;; esac
  command -v "$tool" >/dev/null || { echo "streaming: $tool is missing (scripts/install-deps.sh --bench)" >&2; exit 1; }
done
echo "streaming: making the ${width} x ${height} pages in $work" >&2
for input in "${inputs[@]}"; do
  "$build/tools/make-huge-page" "$work/page-$input.tif" "$width" "$height" "$input"
done

# Workloads: the target, Tessaline's options, the vips command (IN and OUT replaced), gm's options.
declare -A extension=([jpg]=jpg [png]=png [tiff]=tif [jpg-resize]=jpg [jpg-rot90]=jpg)
declare -A tessaline_opts=(
  [jpg]="-c jpg --jpg-quality=95 --jpg-chroma=none"
  [png]="-c png --png-compression=zlib6"
  [tiff]="-c tiff --tiff-compression=lzw"
  [jpg-resize]="-c jpg --jpg-quality=95 --jpg-chroma=none --width=50 --width-unit=percent --height=50 --height-unit=percent --resize-algorithm=bicubic"
  [jpg-rot90]="-c jpg --jpg-quality=95 --jpg-chroma=none --rotation=90")
declare -A vips_command=(
  [jpg]="vips copy IN OUT[Q=95,no_subsample]"
  [png]="vips copy IN OUT[compression=6]"
  [tiff]="vips copy IN OUT[compression=lzw]"
  [jpg-resize]="vips resize IN OUT[Q=95,no_subsample] 0.5 --kernel cubic"
  [jpg-rot90]="vips rot IN OUT[Q=95,no_subsample] d90")
declare -A gm_opts=(
  [jpg]="-quality 95 -sampling-factor 1x1"
  [png]="-quality 65"
  [tiff]="-compress LZW"
  [jpg-resize]="-filter Mitchell -resize 50% -quality 95 -sampling-factor 1x1"
  [jpg-rot90]="-rotate 90 -quality 95 -sampling-factor 1x1")

# measure (bench/measure.sh), with the output removed once measured: huge files add up.
source "$root/bench/measure.sh"
measure_and_remove() {
  measure "$@"
  rm -rf "$1"
}

rows=()
for input in "${inputs[@]}"; do
  in=$work/page-$input.tif
  for workload in "${workloads[@]}"; do
    ext=${extension[$workload]}
    out=$work/out
    read -r -a tessaline_args <<<"${tessaline_opts[$workload]}"
    vips_line=${vips_command[$workload]//IN/$in}
    read -r -a vips_args <<<"${vips_line//OUT/$out/page.$ext}"
    read -r -a gm_args <<<"${gm_opts[$workload]}"
    for tool in "${tools[@]}"; do
      case $tool in
        before) figures=$(measure_and_remove "$out" "$before" -i "$in" -o "$out" "${tessaline_args[@]}" --threads=1 -q) ;;
        tessaline) figures=$(measure_and_remove "$out" "$tessaline" -i "$in" -o "$out" "${tessaline_args[@]}" --threads=1 -q) ;;
        vips) figures=$(measure_and_remove "$out" "${vips_args[@]}") ;;
        gm) figures=$(measure_and_remove "$out" gm convert "$in" "${gm_args[@]}" "$out/page.$ext") ;;
      esac
      read -r wall rss size status <<<"$figures"
      echo "streaming: $input $workload $tool ${wall}s ${rss}MiB ${size}MiB $status" >&2
      rows+=("| $input | $workload | $tool | $wall | $rss | $size | $status |")
    done
  done
done

# Eight such pages (LZW) on two workers to JPEG: streamed pages hold a few bands each, so the
# memory budget lets both workers convert at once.
eight=""
if [[ " ${workloads[*]} " == *" jpg "* && " ${inputs[*]} " == *" lzw "* ]]; then
mkdir -p "$work/eight"
for i in 1 2 3 4 5 6 7 8; do ln "$work/page-lzw.tif" "$work/eight/page-$i.tif"; done
read -r -a eight_args <<<"${tessaline_opts[jpg]}"
figures=$(measure_and_remove "$work/out" "$tessaline" -i "$work/eight" -o "$work/out" "${eight_args[@]}" --threads=2 -q)
read -r wall rss size status <<<"$figures"
echo "streaming: eight pages on two workers ${wall}s ${rss}MiB ${size}MiB $status" >&2
eight="Eight such pages (LZW) to JPEG on two workers (\`--threads=2\`): $wall s, peak RSS $rss MiB, $size MiB written ($status)."
fi

{
  echo "One ${width} x ${height} RGB page (tools/make-huge-page), \`bench/streaming.sh\` on $(date -u '+%Y-%m-%d %H:%M UTC'):"
  echo "$(nproc) cores, $(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo); Tessaline \`$tessaline\` with --threads=1;"
  versions=()
  if [[ " ${tools[*]} " == *" vips "* ]]; then versions+=("$(vips --version)"); fi
  if [[ " ${tools[*]} " == *" gm "* ]]; then versions+=("$(gm version | head -1 | cut -d' ' -f1-2)"); fi
  if [ -n "$before" ]; then versions+=("before: Tessaline \`$before\`"); fi
  echo "$(IFS=,; echo "${versions[*]}" | sed 's/,/, /g'). Wall time and peak RSS from /usr/bin/time -v."
  echo
  echo "| input TIFF | to | tool | wall s | peak RSS MiB | output MiB | status |"
  echo "|---|---|---|---:|---:|---:|---|"
  printf '%s\n' "${rows[@]}"
  if [ -n "$eight" ]; then
    echo
    echo "$eight"
  fi
} | if [ -n "$table" ]; then tee "$table"; else cat; fi
