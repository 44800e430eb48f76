#!/usr/bin/env bash
# Benchmarks Tessaline against the floor (a minimal FreeImage loop) and the tools users would pick
# instead (GraphicsMagick, ImageMagick, libvips) on the same corpus, and writes bench/RESULTS.md.
#
#   bench/run.sh [CORPUS_DIR] [RUNS]
#
# CORPUS_DIR defaults to /tmp/tessaline-corpus (made by bench/make-corpus.sh when missing).
# Every tool converts the whole corpus into a fresh folder; one warm-up run, then RUNS timed runs
# (default 3); the table gives medians. Needs: graphicsmagick imagemagick libvips-tools time.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
corpus=${1:-/tmp/tessaline-corpus}
runs=${2:-3}
build=${TESSALINE_BUILD_DIR:-$root/build}
work=$(mktemp -d /tmp/tessaline-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT

"$root/scripts/install-deps.sh" --bench
"$root/scripts/build.sh" >/dev/null
cmake --build "$build" --target floor >/dev/null
[ -d "$corpus" ] || "$root/bench/make-corpus.sh" "$corpus" >/dev/null
for tool in gm mogrify vips vipsheader /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "bench: $tool is missing (apt-get install graphicsmagick imagemagick libvips-tools time)" >&2; exit 1; }
done

tessaline=$build/tessaline
floor=$build/bench/floor
cores=$(nproc)
files=("$corpus"/*.tif)

# Workloads: name, Tessaline options, floor options, GraphicsMagick/ImageMagick options, vips suffix.
workloads=(png jpg jpg-resize tiff)
declare -A tessaline_opts=(
  [png]="-c png --png-compression=zlib6"
  [jpg]="-c jpg --jpg-quality=95"
  [jpg-resize]="-c jpg --jpg-quality=95 --width=50 --width-unit=percent --height=50 --height-unit=percent --resize-algorithm=bicubic"
  [tiff]="-c tiff --tiff-compression=lzw")
declare -A floor_opts=([png]="png" [jpg]="jpg" [jpg-resize]="jpg --resize-half" [tiff]="tiff")
declare -A magick_opts=(
  [png]="-quality 65"
  [jpg]="-quality 95 -sampling-factor 1x1"
  [jpg-resize]="-filter Mitchell -resize 50% -quality 95 -sampling-factor 1x1"
  [tiff]="-compress LZW")
declare -A extension=([png]=png [jpg]=jpg [jpg-resize]=jpg [tiff]=tif)
declare -A vips_save=([png]="[compression=6]" [jpg]="[Q=95,no_subsample]" [jpg-resize]="[Q=95,no_subsample]" [tiff]="[compression=lzw]")

# One shell script per tool and workload, so every tool is timed the same way.
write_commands() {
  local workload=$1 out=$2 ext=${extension[$1]}
  cat > "$work/tessaline-all.sh" <<CMD
"$tessaline" -i "$corpus" -o "$out" ${tessaline_opts[$workload]} -q
CMD
  cat > "$work/tessaline-one.sh" <<CMD
"$tessaline" -i "$corpus" -o "$out" ${tessaline_opts[$workload]} -q --threads=1
CMD
  cat > "$work/floor.sh" <<CMD
"$floor" ${floor_opts[$workload]%% *} "$out" ${floor_opts[$workload]#${floor_opts[$workload]%% *}} ${files[*]}
CMD
  : > "$work/gm-batch.txt"
  for f in "${files[@]}"; do
    echo "convert \"$f\" ${magick_opts[$workload]} +adjoin \"$out/$(basename "${f%.*}")-%d.$ext\"" >> "$work/gm-batch.txt"
  done
  cat > "$work/gm.sh" <<CMD
gm batch -stop-on-error off "$work/gm-batch.txt"
CMD
  cat > "$work/imagemagick.sh" <<CMD
mogrify -path "$out" -format $ext ${magick_opts[$workload]} ${files[*]}
CMD
  : > "$work/vips.sh"
  for f in "${files[@]}"; do
    local pages stem
    pages=$(vipsheader -f n-pages "$f" 2>/dev/null || echo 1)
    stem=$(basename "${f%.*}")
    for ((p = 0; p < pages; p++)); do
      if [ "$workload" = jpg-resize ]; then
        echo "vips resize \"$f[page=$p]\" \"$out/$stem-$p.$ext${vips_save[$workload]}\" 0.5 --kernel cubic" >> "$work/vips.sh"
      else
        echo "vips copy \"$f[page=$p]\" \"$out/$stem-$p.$ext${vips_save[$workload]}\"" >> "$work/vips.sh"
      fi
    done
  done
}

# Runs one command script into a fresh folder; prints "wall cpu rss_kb bytes".
measure() {
  local script=$1 out=$2
  rm -rf "$out" && mkdir -p "$out"
  /usr/bin/time -f "%e %U %S %M" -o "$work/time.txt" sh "$script" >/dev/null 2>&1 || true
  # A failing command makes time(1) write a status line first; the figures are the last line.
  read -r wall user sys rss < <(tail -n 1 "$work/time.txt")
  echo "$wall $(echo "$user + $sys" | bc) $rss $(du -sb "$out" | cut -f1)"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

tools=(tessaline-all tessaline-one floor gm imagemagick vips)
declare -A result same_as_floor
for workload in "${workloads[@]}"; do
  out=$work/out
  write_commands "$workload" "$out"
  for tool in "${tools[@]}"; do
    measure "$work/$tool.sh" "$out" >/dev/null   # warm-up
    : > "$work/samples.txt"
    for ((r = 0; r < runs; r++)); do
      measure "$work/$tool.sh" "$out" >> "$work/samples.txt"
    done
    wall=$(cut -d' ' -f1 "$work/samples.txt" | median)
    cpu=$(cut -d' ' -f2 "$work/samples.txt" | median)
    rss=$(cut -d' ' -f3 "$work/samples.txt" | median)
    bytes=$(cut -d' ' -f4 "$work/samples.txt" | median)
    result[$workload,$tool]="$wall $cpu $rss $bytes"
    echo "bench: $workload $tool wall=${wall}s cpu=${cpu}s rss=${rss}KB out=${bytes}B" >&2
    # The floor must do the same job: it has to leave exactly the files Tessaline leaves.
    if [ "$tool" = tessaline-one ]; then
      rm -rf "$work/tessaline-files" && cp -r "$out" "$work/tessaline-files"
    elif [ "$tool" = floor ]; then
      diff -r -q "$work/tessaline-files" "$out" >/dev/null && same_as_floor[$workload]=yes || same_as_floor[$workload]=no
    fi
  done
done

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }

{
  echo "# Benchmark results"
  echo
  echo "Written by \`bench/run.sh\` on $(date -u '+%Y-%m-%d %H:%M UTC')."
  echo
  echo "- Machine: $(nproc) cores, $(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo), $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
  echo "- Versions: tessaline $("$tessaline" -v), $(gm version | head -1 | cut -d' ' -f1-2), $(convert -version | head -1 | cut -d' ' -f2-3), $(vips --version)"
  echo "- Corpus: $(ls "$corpus"/*.tif | wc -l) TIFFs, $(du -sh "$corpus" | cut -f1) (bench/make-corpus.sh); median of $runs runs after one warm-up"
  echo "- Tessaline all cores: one worker per core ($cores); one worker: --threads=1"
  echo "- The floor writes what Tessaline writes by default (16-bit grey pages as 24-bit RGB, bilevel pages as 8-bit grey JPEG); byte-identical files from both: $(for w in "${workloads[@]}"; do printf '%s %s; ' "$w" "${same_as_floor[$w]}"; done | sed 's/; $//')"
  echo
  echo "Commands per workload (\$IN = the corpus, \$OUT = a fresh folder):"
  echo
  for workload in "${workloads[@]}"; do
    echo "- $workload: \`tessaline -i \$IN -o \$OUT ${tessaline_opts[$workload]} -q\`;" \
         "floor \`floor ${floor_opts[$workload]} \$OUT FILES\`;" \
         "GraphicsMagick \`gm batch\` of \`convert FILE ${magick_opts[$workload]} +adjoin OUT-%d.${extension[$workload]}\`;" \
         "ImageMagick \`mogrify -path \$OUT -format ${extension[$workload]} ${magick_opts[$workload]}\`;" \
         "vips \`vips $( [ "$workload" = jpg-resize ] && echo "resize FILE[page=N] OUT${vips_save[$workload]} 0.5 --kernel cubic" || echo "copy FILE[page=N] OUT${vips_save[$workload]}")\` per page"
  done
  echo
  echo "| workload | tool | wall s | CPU s | peak RSS MiB | output MiB | wall / floor | all-cores speed-up vs tool |"
  echo "|---|---|---:|---:|---:|---:|---:|---:|"
  for workload in "${workloads[@]}"; do
    read -r floor_wall _ <<< "${result[$workload,floor]}"
    read -r all_wall _ <<< "${result[$workload,tessaline-all]}"
    for tool in "${tools[@]}"; do
      read -r wall cpu rss bytes <<< "${result[$workload,$tool]}"
      printf '| %s | %s | %.2f | %.2f | %.0f | %.1f | %s | %s |\n' "$workload" "$tool" "$wall" "$cpu" \
        "$(echo "$rss / 1024" | bc -l)" "$(echo "$bytes / 1048576" | bc -l)" \
        "$(ratio "$wall" "$floor_wall")" "$(ratio "$wall" "$all_wall")"
    done
  done
} > "$root/bench/RESULTS.md"
echo "bench: wrote $root/bench/RESULTS.md" >&2
