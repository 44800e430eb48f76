# Sourced by the benchmark scripts (needs $work, their scratch folder, and /usr/bin/time).
#
# measure OUT COMMAND...: runs COMMAND with OUT a fresh, empty folder and prints
# "wall_s peak_MiB output_MiB status", the wall time and peak resident memory from /usr/bin/time -v
# and what COMMAND left in OUT; status is "failed" when it failed or left nothing. OUT stays for
# the caller to compare or remove.
measure() {
  local out=$1
  shift
  rm -rf "$out" && mkdir -p "$out"
  local status=ok
  /usr/bin/time -v -o "$work/time.txt" "$@" >/dev/null 2>"$work/stderr.txt" || status=failed
  local wall rss bytes
  # "Elapsed (wall clock) time (h:mm:ss or m:ss): 0:02.64"
  wall=$(awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + t[i]; printf "%.2f", s }' "$work/time.txt")
  rss=$(awk -F': ' '/Maximum resident set size/ { printf "%.0f", $2 / 1024 }' "$work/time.txt")
  bytes=$(du -sb "$out" | cut -f1)
  [ "$bytes" -gt 0 ] || status=failed
  echo "$wall $rss $(awk -v b="$bytes" 'BEGIN { printf "%.1f", b / 1048576 }') $status"
}
