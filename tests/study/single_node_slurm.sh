# Sourced by the Slurm tests: a single-node Slurm (munged, slurmctld, slurmd) on localhost, all
# of its files in one temporary directory, stopped and removed by slurm_stop.
# slurm_start sets SLURM_CONF and SLURM_TEST_DIR; it returns 77 with the reason on stderr when the
# packages are missing or the daemons do not come up.

slurm_free_port() {
  python3 - <<'PY'
import socket
s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1]); s.close()
PY
}

slurm_start() {
  local tool
  for tool in munged mungekey slurmctld slurmd sbatch squeue scancel sinfo; do
    if ! command -v "$tool" >/dev/null 2>&1 && [ ! -x "/usr/sbin/$tool" ]; then
      echo "SKIP: $tool is not installed (Debian packages slurm-wlm and munge; scripts/install-deps.sh)" >&2
      return 77
    fi
  done
  export PATH="$PATH:/usr/sbin"
  SLURM_TEST_DIR=$(mktemp -d /tmp/pemblar-slurm-XXXXXX)
  local d=$SLURM_TEST_DIR
  mkdir -p "$d/munge" "$d/state" "$d/spool" "$d/log"
  chmod 700 "$d/munge"
  if ! mungekey --create --keyfile="$d/munge/munge.key" >/dev/null 2>&1; then
    dd if=/dev/urandom of="$d/munge/munge.key" bs=1024 count=1 2>/dev/null
  fi
  chmod 600 "$d/munge/munge.key"
  munged --force --key-file="$d/munge/munge.key" --socket="$d/munge/munge.socket" \
    --pid-file="$d/munge/munged.pid" --log-file="$d/log/munged.log" --seed-file="$d/munge/seed" \
    >"$d/log/munged.out" 2>&1 || {
      echo "SKIP: munged does not start: $(tail -n 3 "$d/log/munged.out" "$d/log/munged.log" 2>/dev/null)" >&2
      slurm_stop; return 77; }

  local host ctldport dport user
  host=$(hostname -s)
  ctldport=$(slurm_free_port)
  dport=$(slurm_free_port)
  while [ "$dport" = "$ctldport" ]; do dport=$(slurm_free_port); done
  user=$(id -un)
  cat >"$d/slurm.conf" <<CONF
ClusterName=pemblartest
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$ctldport
SlurmdPort=$dport
SlurmUser=$user
SlurmdUser=$user
AuthType=auth/munge
AuthInfo=socket=$d/munge/munge.socket
CredType=cred/munge
StateSaveLocation=$d/state
SlurmdSpoolDir=$d/spool/slurmd-%n
SlurmctldPidFile=$d/slurmctld.pid
SlurmdPidFile=$d/slurmd.pid
SlurmctldLogFile=$d/log/slurmctld.log
SlurmdLogFile=$d/log/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
MpiDefault=none
ReturnToService=2
SchedulerType=sched/backfill
SchedulerParameters=sched_interval=1
MessageTimeout=10
SlurmctldTimeout=30
SlurmdTimeout=30
InactiveLimit=0
KillWait=2
MinJobAge=300
NodeName=$host NodeAddr=127.0.0.1 CPUs=$(nproc) RealMemory=1000 State=UNKNOWN
PartitionName=pemblar Nodes=$host Default=YES MaxTime=INFINITE State=UP
CONF
  export SLURM_CONF="$d/slurm.conf"
  slurmctld -i -f "$SLURM_CONF" >"$d/log/slurmctld.out" 2>&1 || {
    echo "SKIP: slurmctld does not start: $(tail -n 5 "$d/log/slurmctld.log" "$d/log/slurmctld.out" 2>/dev/null)" >&2
    slurm_stop; return 77; }
  slurmd -f "$SLURM_CONF" >"$d/log/slurmd.out" 2>&1 || {
    echo "SKIP: slurmd does not start: $(tail -n 5 "$d/log/slurmd.log" "$d/log/slurmd.out" 2>/dev/null)" >&2
    slurm_stop; return 77; }
  local i
  for i in $(seq 1 60); do
    if sinfo -h -N -o '%T' 2>/dev/null | grep -qx idle; then
      return 0
    fi
    sleep 0.5
  done
  echo "SKIP: the Slurm node did not become idle: $(sinfo -N 2>&1 | tail -n 2); $(tail -n 5 "$d/log/slurmctld.log" "$d/log/slurmd.log" 2>/dev/null)" >&2
  slurm_stop
  return 77
}

# slurm_kill_pidfiles FILE...: SIGTERM to every daemon at once (each takes a second or two to
# wind down), SIGKILL to any still there after 5 s.
slurm_kill_pidfiles() {
  local f pid pids=() i
  for f in "$@"; do
    [ -f "$f" ] || continue
    pid=$(cat "$f" 2>/dev/null) || continue
    [ -n "$pid" ] && kill "$pid" 2>/dev/null && pids+=("$pid")
  done
  for i in $(seq 1 50); do
    local alive=()
    for pid in "${pids[@]}"; do kill -0 "$pid" 2>/dev/null && alive+=("$pid"); done
    [ "${#alive[@]}" -eq 0 ] && return 0
    pids=("${alive[@]}")
    sleep 0.1
  done
  kill -9 "${pids[@]}" 2>/dev/null || true
}

slurm_stop() {
  [ -n "${SLURM_TEST_DIR:-}" ] && [ -d "$SLURM_TEST_DIR" ] || return 0
  slurm_kill_pidfiles "$SLURM_TEST_DIR/slurmd.pid" "$SLURM_TEST_DIR/slurmctld.pid" "$SLURM_TEST_DIR/munge/munged.pid"
  rm -rf "$SLURM_TEST_DIR"
  SLURM_TEST_DIR=
}

# Shared by the study tests, which set $work (the study's project directory, its out/ holding
# what the commands said) and $study_program.
slurm_study_cleanup() {
  slurm_stop
  [ -n "${work:-}" ] && rm -rf "$work"
}

fail() {
  echo "FAIL: $*" >&2
  echo "--- squeue:" >&2; squeue 2>&1 >&2
  for f in "$work"/out/*; do [ -f "$f" ] && { echo "--- $f" >&2; cat "$f" >&2; }; done
  find "$work/output" -name '*.out' -o -name '*.failed' 2>/dev/null | while read -r f; do echo "--- $f" >&2; cat "$f" >&2; done
  exit 1
}

# wait_for SECONDS COMMAND...: polls until the command succeeds.
wait_for() {
  local limit=$1 i
  shift
  for i in $(seq 1 $((limit * 10))); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}
queue_empty() { [ -z "$(squeue -h -o %i 2>/dev/null)" ]; }
# status_of FILE OUT: status into OUT; it must exit with 1, the study not being complete.
status_of() {
  local rc=0
  "$study_program" status "$1" >"$2" 2>&1 || rc=$?
  [ "$rc" -eq 1 ] || fail "status of an incomplete study exited with $rc: $(cat "$2")"
}
