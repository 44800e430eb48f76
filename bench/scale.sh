#!/usr/bin/env bash
# Measures the batch options at scale and writes bench/SCALE.md:
#   - --dry-run over one folder of FILES small TIFFs (default 100000): wall time, CPU, peak memory;
#   - the cost of --report on the benchmark corpus (bench/make-corpus.sh), jpg workload.
#
#   bench/scale.sh [FILES] [CORPUS_DIR] [RUNS]
#
# Each figure is the median of RUNS runs (default 3) after one warm-up; the folder of small files
# is made once in /tmp/tessaline-plan-FILES (copies of one 16 x 12 TIFF that Tessaline writes).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
files=${1:-100000}
corpus=${2:-/tmp/tessaline-corpus}
runs=${3:-3}
build=${TESSALINE_BUILD_DIR:-$root/build}
tessaline=$build/tessaline
work=$(mktemp -d /tmp/tessaline-scale.XXXXXX)
trap 'rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR=$work XDG_CONFIG_HOME=$work

"$root/scripts/build.sh" >/dev/null
[ -d "$corpus" ] || "$root/bench/make-corpus.sh" "$corpus" >/dev/null
command -v /usr/bin/time >/dev/null || { echo "scale: /usr/bin/time is missing (apt-get install time)" >&2; exit 1; }

# One folder of many small files.
many=/tmp/tessaline-plan-$files
if [ ! -d "$many" ] || [ "$(find "$many" -maxdepth 1 -name '*.tif' | wc -l)" -ne "$files" ]; then
  rm -rf "$many"
  "$tessaline" -i "$root/samples/photo-rgb.tif" -o "$work" -c tiff --width=16 --height=12 -q
  perl -e 'my ($src, $dir, $n) = @ARGV; open(my $in, "<:raw", $src) or die "$src: $!"; local $/; my $bytes = <$in>;
    mkdir $dir or die "$dir: $!";
    for my $i (1 .. $n) { my $p = sprintf("%s/scan-%06d.tif", $dir, $i); open(my $o, ">:raw", $p) or die "$p: $!"; print $o $bytes; close $o or die; }' \
    "$work/photo-rgb.tiff" "$many" "$files"
fi
mkdir -p "$work/out"

# Runs a command RUNS times after a warm-up; prints "wall user sys rss_mib" of the median wall time.
measure() {
  "$@" >/dev/null 2>&1 || true
  local samples=()
  for _ in $(seq "$runs"); do
    /usr/bin/time -o "$work/time" -f '%e %U %S %M' "$@" >/dev/null 2>&1 || true
    samples+=("$(tail -n 1 "$work/time")")
  done
  printf '%s\n' "${samples[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p" |
    awk '{ printf "%.2f %.2f %.2f %.0f\n", $1, $2, $3, $4 / 1024 }'
}

row() { # name, command...
  local name=$1; shift
  read -r wall user sys rss < <(measure "$@")
  echo "| $name | $wall | $user | $sys | $rss |"
}

plan_rows=$(
  row "import only (--shard=1/$((files * 10)), one file planned)" "$tessaline" -i "$many" -o "$work/out" -c png -q --dry-run --shard=1/$((files * 10))
  row "--dry-run (every page: page headers read)" "$tessaline" -i "$many" -o "$work/out" -c png -q --dry-run
  row "--dry-run --tiff-frame-loading=first (names only)" "$tessaline" -i "$many" -o "$work/out" -c png -q --dry-run --tiff-frame-loading=first
  row "--dry-run --update (also the outputs' times)" "$tessaline" -i "$many" -o "$work/out" -c png -q --dry-run --update
)

report_rows=$(
  row "jpg" "$tessaline" -i "$corpus" -o "$work/out" -c jpg --jpg-quality=95 -q
  row "jpg --report=report.jsonl" "$tessaline" -i "$corpus" -o "$work/out" -c jpg --jpg-quality=95 -q --report="$work/report.jsonl"
  row "jpg --report=report.csv" "$tessaline" -i "$corpus" -o "$work/out" -c jpg --jpg-quality=95 -q --report="$work/report.csv"
)

cat > "$root/bench/SCALE.md" <<MD
# Batch options at scale

Written by \`bench/scale.sh\` on $(date -u '+%Y-%m-%d %H:%M UTC').

- Machine: $(nproc) cores, $(free -g | awk '/Mem:/ {print $2}') GiB; load average at the start: $(cut -d' ' -f1-3 /proc/loadavg)
- Median of $runs runs after one warm-up; wall and CPU seconds, peak resident memory

## --dry-run over one folder of $files files

Each file a 16 x 12 single-page TIFF; output png into an empty folder.

| run | wall s | user s | sys s | peak RSS MiB |
|---|---:|---:|---:|---:|
$plan_rows

## --report on the benchmark corpus

$(find "$corpus" -name '*.tif' | wc -l) TIFFs, $(du -sh "$corpus" | cut -f1) (bench/make-corpus.sh), all cores.

| run | wall s | user s | sys s | peak RSS MiB |
|---|---:|---:|---:|---:|
$report_rows
MD
cat "$root/bench/SCALE.md"
