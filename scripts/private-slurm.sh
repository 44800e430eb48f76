#!/usr/bin/env bash
# A private one-node Slurm cluster in a folder of its own, from Debian's slurmctld, slurmd,
# slurm-client and munge packages: its own munge key and socket, state, spool, logs and ports, no
# accounting, no systemd, nothing under /etc or /run. It serves to try a job array over --shard on
# one machine, and the test suite runs the scale-out guide's Slurm recipe on it.
#
# Run a command with the cluster up (SLURM_CONF points at it), then stop it and remove the folder:
#   scripts/private-slurm.sh bash
#   scripts/private-slurm.sh sbatch --wait --array=0-3 job.sbatch
# Or source it and call the functions, so that the daemons are children of your own shell:
#   source scripts/private-slurm.sh
#   slurm_cluster_start /tmp/cluster    # an empty or missing folder; exports SLURM_CONF
#   ...                                  # sbatch, squeue, sinfo, scontrol
#   slurm_cluster_stop                   # stops the daemons it started, by pid
#
# The daemons run as root (slurmd starts the jobs as the user who submitted them). The node is
# named "tessaline-node" and has this machine's CPUs; each job's state and exit code is
# recorded in FOLDER/jobcomp.log (jobcomp/filetxt), since there is no accounting database.

slurm_cluster_node=tessaline-node
slurm_cluster_folder=
slurm_cluster_pids=()

# A TCP port nothing listens on, from a range Slurm and the usual services leave alone.
slurm_free_port() {
  local port
  for _ in $(seq 1 50); do
    port=$((20000 + RANDOM % 20000))
    if ! ss -Htln "sport = :$port" | grep -q .; then
      echo "$port"
      return 0
    fi
  done
  echo "private-slurm: no free port found" >&2
  return 1
}

slurm_cluster_fail() {
  echo "private-slurm: $*" >&2
  local log
  for log in "$slurm_cluster_folder"/log/*.log; do
    [ -s "$log" ] && { echo "--- last lines of $log" >&2; tail -n 15 "$log" >&2; }
  done
  slurm_cluster_stop
  return 1
}

# Waits up to $1 tenths of a second for the command that follows to succeed.
slurm_wait_for() {
  local tenths=$1
  shift
  for _ in $(seq 1 "$tenths"); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}

slurm_cluster_start() {
  local folder=$1
  if [ "$(id -u)" -ne 0 ]; then
    echo "private-slurm: the daemons need root (slurmd starts jobs as the submitting user)" >&2
    return 1
  fi
  local program
  for program in munged mungekey slurmctld slurmd sbatch sinfo scontrol ss; do
    command -v "$program" >/dev/null || {
      echo "private-slurm: $program is missing: scripts/install-deps.sh installs it" >&2
      return 1
    }
  done
  mkdir -p "$folder" || return 1
  slurm_cluster_folder=$(cd "$folder" && pwd)
  local f=$slurm_cluster_folder
  mkdir -p "$f/munge" "$f/state" "$f/spool" "$f/log" "$f/run" || return 1
  # munged refuses a socket folder others cannot enter, and a key others can read.
  chmod 0755 "$f" "$f/munge"
  chmod 0700 "$f/state" "$f/spool"
  mungekey --create --keyfile="$f/munge/munge.key" 2>/dev/null || return 1
  chmod 0600 "$f/munge/munge.key"

  local controller_port node_port
  controller_port=$(slurm_free_port) || return 1
  node_port=$(slurm_free_port) || return 1
  local cpus
  cpus=$(nproc)
  cat >"$f/slurm.conf" <<EOF
ClusterName=tessaline
SlurmctldHost=$(hostname -s)(127.0.0.1)
SlurmctldPort=$controller_port
SlurmdPort=$node_port
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$f/munge/munge.socket
StateSaveLocation=$f/state
SlurmdSpoolDir=$f/spool
SlurmctldPidFile=$f/run/slurmctld.pid
SlurmdPidFile=$f/run/slurmd.pid
SlurmctldLogFile=$f/log/slurmctld.log
SlurmdLogFile=$f/log/slurmd.log
PlugStackConfig=$f/plugstack.conf
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/filetxt
JobCompLoc=$f/jobcomp.log
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
MpiDefault=none
ReturnToService=2
# A small array runs its waves back to back, and an impossible request is refused at once.
SchedulerParameters=batch_sched_delay=0,sched_min_interval=0
MinJobAge=5
EnforcePartLimits=ALL
NodeName=$slurm_cluster_node NodeAddr=127.0.0.1 Port=$node_port CPUs=$cpus State=UNKNOWN
PartitionName=main Nodes=$slurm_cluster_node Default=YES MaxTime=INFINITE State=UP
EOF
  : >"$f/plugstack.conf"
  export SLURM_CONF=$f/slurm.conf

  # Each daemon stays in the foreground as a plain command of this shell, so $! is the daemon.
  munged --foreground --force --socket="$f/munge/munge.socket" --key-file="$f/munge/munge.key" \
    --pid-file="$f/run/munged.pid" --log-file="$f/log/munged.log" --seed-file="$f/munge/munged.seed" \
    >>"$f/log/munged.log" 2>&1 &
  slurm_cluster_pids+=($!)
  slurm_wait_for 50 test -S "$f/munge/munge.socket" || { slurm_cluster_fail "munged did not start"; return 1; }

  slurmctld -D -f "$SLURM_CONF" >>"$f/log/slurmctld.out" 2>&1 &
  slurm_cluster_pids+=($!)
  slurm_wait_for 100 scontrol ping || { slurm_cluster_fail "slurmctld did not answer"; return 1; }

  slurmd -D -N "$slurm_cluster_node" -f "$SLURM_CONF" >>"$f/log/slurmd.out" 2>&1 &
  slurm_cluster_pids+=($!)
  slurm_node_idle() { sinfo --noheader --nodes="$slurm_cluster_node" --format=%T | grep -qx idle; }
  slurm_wait_for 150 slurm_node_idle || { slurm_cluster_fail "the node did not become idle"; return 1; }
}

# True once the process has ended (a child this shell has not reaped yet is a zombie).
slurm_pid_ended() {
  local state
  state=$(awk '{ print $3 }' "/proc/$1/stat" 2>/dev/null) || return 0
  [ -z "$state" ] || [ "$state" = Z ]
}

# Stops the daemons this shell started, newest first, and removes the cluster's folder.
slurm_cluster_stop() {
  local f=$slurm_cluster_folder
  if [ ${#slurm_cluster_pids[@]} -gt 0 ]; then
    # A job's slurmstepd outlives it by about a second and holds a socket in the spool folder;
    # slurmd stopped before it would leave it behind.
    slurm_steps_gone() { ! compgen -G "$f/spool/${slurm_cluster_node}_*" >/dev/null; }
    slurm_wait_for 100 slurm_steps_gone || echo "private-slurm: a job step is still running" >&2
    local i pid
    for ((i = ${#slurm_cluster_pids[@]} - 1; i >= 0; i--)); do
      pid=${slurm_cluster_pids[i]}
      kill "$pid" 2>/dev/null
      slurm_wait_for 100 slurm_pid_ended "$pid" || kill -KILL "$pid" 2>/dev/null
      wait "$pid" 2>/dev/null
    done
    slurm_cluster_pids=()
  fi
  [ -n "$f" ] && rm -rf "$f"
  slurm_cluster_folder=
  unset SLURM_CONF
  return 0
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -uo pipefail
  [ $# -gt 0 ] || { sed -n '2,20p' "$0" | sed 's/^# \{0,1\}//'; exit 2; }
  cluster=$(mktemp -d)
  trap 'slurm_cluster_stop' EXIT
  trap 'exit 130' INT TERM
  slurm_cluster_start "$cluster" || exit 1
  "$@"
fi
