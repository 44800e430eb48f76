#!/usr/bin/env bash
# Peak resident memory and wall time of converting large pages, with and without a memory budget,
# and writes bench/MEMORY.md.
#
#   bench/memory_bench.sh [WORK_DIR] [-- EXTRA RUNS]
#
# Makes a folder of eight 12000 x 9000 RGB TIFFs (2.6 GB, uncompressed) in WORK_DIR (default: a
# fresh folder in /tmp, removed at the end) and converts it to JPEG (quality 95) once per
# configuration: one worker, two workers, two workers with --memory=1G, and two workers with a
# budget of one page (--memory=400M), which must take about one page's memory and one worker's
# time. Every run's output must equal the one-worker run's byte for byte.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${TESSALINE_BUILD_DIR:-$root/build}
work=${1:-$(mktemp -d /tmp/tessaline-memory.XXXXXX)}
trap 'rm -rf "$work"' EXIT
cmake --build "$build" --target tessaline pipeline_memory_bench >/dev/null
tessaline=$build/tessaline
pages=8
width=12000
height=9000

mkdir -p "$work/in" "$work/runtime" && chmod 700 "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime
"$build/bench/pipeline_memory_bench" --make "$work/in/page-1.tif" 1 $width $height 2>/dev/null
for ((i = 2; i <= pages; i++)); do
  cp "$work/in/page-1.tif" "$work/in/page-$i.tif"
done
decoded_mib=$((width * height * 3 / 1048576))

configurations=("one worker|--threads=1" "two workers|--threads=2" "two workers, --memory=1G|--threads=2 --memory=1G"
                "two workers, --memory=400M|--threads=2 --memory=400M")
rows=()
for configuration in "${configurations[@]}"; do
  name=${configuration%%|*}
  options=${configuration#*|}
  rm -rf "$work/out" && mkdir "$work/out"
  # shellcheck disable=SC2086
  /usr/bin/time -v -o "$work/time.txt" "$tessaline" -i "$work/in" -o "$work/out" -c jpg --jpg-quality=95 -q $options
  rss_kb=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/time.txt")
  wall=$(awk -F': ' '/Elapsed \(wall clock\)/ { print $2 }' "$work/time.txt")
  cpu=$(awk -F': ' '/User time/ { u = $2 } /System time/ { s = $2 } END { printf "%.1f", u + s }' "$work/time.txt")
  if [ "$name" = "one worker" ]; then
    rm -rf "$work/reference" && mv "$work/out" "$work/reference"
    same=reference
  else
    diff -r -q "$work/reference" "$work/out" >/dev/null && same=yes || same=NO
  fi
  rows+=("| $name | \`$options\` | $wall | $cpu | $((rss_kb / 1024)) | $same |")
  echo "bench: $name: wall $wall, cpu ${cpu}s, peak RSS $((rss_kb / 1024)) MiB, same bytes: $same" >&2
done

{
  echo "# Memory benchmark"
  echo
  echo "Written by \`bench/memory_bench.sh\` on $(date -u '+%Y-%m-%d %H:%M UTC'), one run per configuration."
  echo
  echo "- Machine: $(nproc) cores, $(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo), shared with other work"
  echo "- Input: $pages TIFFs of $width x $height RGB, uncompressed ($(du -sh "$work/in" | cut -f1)); one page is $decoded_mib MiB decoded"
  echo "- Command: \`tessaline -i IN -o OUT -c jpg --jpg-quality=95 -q OPTIONS\`"
  echo
  echo "| configuration | options | wall | CPU s | peak RSS MiB | output as one worker's |"
  echo "|---|---|---:|---:|---:|---|"
  printf '%s\n' "${rows[@]}"
} > "$root/bench/MEMORY.md"
echo "bench: wrote $root/bench/MEMORY.md" >&2
