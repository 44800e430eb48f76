#!/usr/bin/env bash
# Runs the scale-out guide's Slurm recipe, as printed, on a private one-node cluster
# (scripts/private-slurm.sh): the array's shards write exactly the files of one whole run, byte for
# byte, and their merged reports are the whole run's report but for the times; then a shard with a
# damaged file fails the array, and the job records say it was that shard and no other.
#   slurm_array_test.sh BUILD_DIR SOURCE_DIR [--sanitized]
# Exits 77 (skipped) in the sanitizer build and when not run as root.
set -uo pipefail
build=$1
source=$2
if [ "${3:-}" = --sanitized ]; then
  echo "skipped: the Slurm array runs the normal build only; the sanitizer build's console runs" \
    "are covered by the shard tests of e2e_tests"
  exit 77
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "skipped: starting slurmctld, slurmd and munged needs root (CI runs as root)"
  exit 77
fi

fail() {
  echo "slurm array test: $*" >&2
  exit 1
}

# shellcheck source=scripts/private-slurm.sh source-path=SCRIPTDIR/../..
. "$source/scripts/private-slurm.sh"
work=$(mktemp -d)
trap 'slurm_cluster_stop; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM

# The first fenced block after a marker line of the guide.
guide_block() {
  awk -v marker="<!-- tested: $1 -->" '
    $0 == marker { found = 1; next }
    found && /^```/ { if (inside) exit; inside = 1; next }
    inside { print }' "$source/docs/scale-out.md"
}
job_script=$(guide_block slurm-array-job)
submit=$(guide_block slurm-array-submit)
merge=$(guide_block merge-json-lines)
if [ -z "$job_script" ] || [ -z "$submit" ] || [ -z "$merge" ]; then
  fail "a tested block of docs/scale-out.md is missing"
fi
shards=$(sed -n 's/^shards=\([0-9]*\)$/\1/p' <<<"$job_script")
[ -n "$shards" ] || fail "the job script sets no shards=N"

slurm_cluster_start "$work/cluster" || fail "the private cluster did not start"
jobs_log=$slurm_cluster_folder/jobcomp.log

# The user's folder: the samples under distinct names in three subfolders, twelve files (one a
# three-page document), one or two per shard.
user=$work/user
mkdir -p "$user/home" "$user/config" "$user/runtime"
chmod 700 "$user/runtime"
for folder in a b/c d; do
  mkdir -p "$user/scans/$folder"
  for sample in "$source"/samples/*.tif; do
    cp "$sample" "$user/scans/$folder/${folder//\//-}-$(basename "$sample")"
  done
done
printf '%s\n' "$job_script" >"$user/tessaline.sbatch"
export PATH="$build:$PATH" HOME="$user/home" XDG_CONFIG_HOME="$user/config" XDG_RUNTIME_DIR="$user/runtime"
export LC_ALL=C.UTF-8
cd "$user" || exit 1

# The states and exit codes of one array's tasks, "TASK STATE EXIT", from the job records.
array_tasks() {
  grep " ArrayJobId=$1 " "$jobs_log" |
    sed -n 's/.* JobState=\([A-Z_]*\) .* ArrayTaskId=\([0-9]*\) .* ExitCode=\([0-9:]*\).*/\2 \1 \3/p' | sort -n
}
submitted_job() {
  sed -n 's/^Submitted batch job \([0-9]*\)$/\1/p' <<<"$1"
}
show_failed_tasks() {
  local task state code
  while read -r task state code; do
    [ "$state" = COMPLETED ] && continue
    echo "  shard $((task + 1)) (task $task): $state, exit $code; its log:" >&2
    sed 's/^/    /' "logs/tessaline-${1}_$task.out" >&2
  done < <(array_tasks "$1")
}

# One whole run of the same list with the same options, its files kept aside.
find scans -name '*.tif' | sort >scans/list.txt
mkdir converted
tessaline -i scans/list.txt -o converted -c png -q --report=whole.jsonl || fail "the whole run failed"
mv converted whole
outputs=$(find whole -type f | wc -l)
[ "$outputs" -ge 12 ] || fail "the whole run wrote only $outputs files"

started=$(date +%s%N)
output=$(bash -c "$submit" 2>&1)
status=$?
echo "the array of $shards shards took $((($(date +%s%N) - started) / 1000000)) ms"
job=$(submitted_job "$output")
[ -n "$job" ] || fail "sbatch submitted no job: $output"
if [ "$status" -ne 0 ]; then
  echo "slurm array test: the array failed (the recipe ended with status $status):" >&2
  echo "$output" >&2
  show_failed_tasks "$job"
  exit 1
fi
[ "$(array_tasks "$job" | grep -c ' COMPLETED 0:0$')" -eq "$shards" ] ||
  fail "not every one of the $shards tasks completed: $(array_tasks "$job" | tr '\n' ';')"

diff -r whole converted >&2 || fail "the shards did not write exactly the files of the whole run"

bash -e -c "$merge" || fail "the merge failed"
without_times() { sed 's/"milliseconds":[0-9]*/"milliseconds":0/' "$1"; }
diff <(without_times whole.jsonl) <(without_times report.jsonl) >&2 ||
  fail "the merged reports differ from the whole run's report"

# A damaged file joins the list: the array run again converts nothing new, and the one shard that
# holds the file fails; the recipe says which.
echo "not an image at all" >scans/d/zz-damaged.tif
output=$(bash -c "$submit" 2>&1)
status=$?
job=$(submitted_job "$output")
[ -n "$job" ] || fail "the second sbatch submitted no job: $output"
position=$(($(grep -n -x 'scans/d/zz-damaged.tif' scans/list.txt | cut -d: -f1) - 1))
task=$((position % shards))
[ "$status" -ne 0 ] || fail "the recipe ended with status 0 for an array with a failed shard"
failed=$(array_tasks "$job" | grep -v ' COMPLETED 0:0$')
if [ "$failed" != "$task FAILED 3:0" ]; then
  echo "slurm array test: expected only shard $((task + 1)) (task $task) to fail, with exit 3:" >&2
  show_failed_tasks "$job"
  exit 1
fi
named=$(grep '^shard .* failed' <<<"$output")
[ "$named" = "shard $((task + 1)) (task $task) failed: see reports/report-$task.jsonl and logs/tessaline-*_$task.out" ] ||
  fail "the recipe did not name shard $((task + 1)) alone: $output"
grep "\"index\":$position," "reports/report-$task.jsonl" | grep -q '"status":"failed"' ||
  fail "shard $((task + 1))'s report does not record the damaged file as failed"
grep -q 'zz-damaged.tif' "logs/tessaline-${job}_$task.out" || fail "shard $((task + 1))'s log does not name the damaged file"
diff -r whole converted >&2 || fail "the second array changed the converted files"

# The daemons stop by their pids and take their folder with them.
daemons=("${slurm_cluster_pids[@]}")
cluster_folder=$slurm_cluster_folder
slurm_cluster_stop
for pid in "${daemons[@]}"; do
  slurm_pid_ended "$pid" || fail "daemon $pid is still running after the stop"
done
[ ! -e "$cluster_folder" ] || fail "the cluster's folder $cluster_folder is still there"
echo "slurm array test: passed (the damaged file failed shard $((task + 1)) of $shards, task $task, alone)"
