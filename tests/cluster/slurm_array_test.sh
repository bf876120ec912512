#!/usr/bin/env bash
# The Slurm recipe of the README, run for real: a one-node cluster of
# Debian's slurm-wlm and munge in a temporary folder (its own munge key and
# socket, config, state, spool, log and ports; no system service touched),
# started and stopped by this test; the job array of N=3 tasks converts a
# small library with --shard $SLURM_ARRAY_TASK_ID/$SLURM_ARRAY_TASK_COUNT.
# Usage: slurm_array_test.sh BUILD_DIR
. "$(dirname "$0")/common.sh"

need jq ffmpeg python3 sbatch squeue scontrol
for d in /usr/sbin/munged /usr/sbin/slurmctld /usr/sbin/slurmd; do
  [ -x "$d" ] || skip "$d is not installed (munge, slurm-wlm; scripts/install-deps.sh installs them)"
done
[ "$(id -u)" -eq 0 ] || skip "slurmd runs jobs as their user only when started as root"

copy_program
make_library

# ---- munged with its own key and socket ----
mkdir -p "$T/munge"
chmod 700 "$T/munge"
dd if=/dev/urandom of="$T/munge/munge.key" bs=1024 count=1 status=none
chmod 400 "$T/munge/munge.key"
SOCKET=$T/munge/munge.socket
/usr/sbin/munged --foreground --force --key-file="$T/munge/munge.key" --socket="$SOCKET" \
  --pid-file="$T/munge/munged.pid" --log-file="$T/munge/munged.log" --seed-file="$T/munge/munged.seed" \
  2>"$T/munge/stderr" &
STARTED+=($!)
for _ in $(seq 50); do [ -S "$SOCKET" ] && break; sleep 0.1; done
[ -S "$SOCKET" ] || { cat "$T/munge/stderr" "$T/munge/munged.log" >&2 2>/dev/null; skip "munged did not start"; }

# ---- slurmctld and slurmd ----
HOST=$(hostname -s)
CPUS=$(nproc)
mkdir -p "$T/slurm/state" "$T/slurm/spool"
export SLURM_CONF=$T/slurm/slurm.conf
cat >"$SLURM_CONF" <<CONF
ClusterName=quorvextest
SlurmctldHost=$HOST(127.0.0.1)
SlurmctldPort=$(spare_port)
SlurmdPort=$(spare_port)
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
AuthInfo=socket=$SOCKET
CredType=cred/munge
StateSaveLocation=$T/slurm/state
SlurmdSpoolDir=$T/slurm/spool
SlurmctldPidFile=$T/slurm/slurmctld.pid
SlurmdPidFile=$T/slurm/slurmd.pid
SlurmctldLogFile=$T/slurm/slurmctld.log
SlurmdLogFile=$T/slurm/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SwitchType=switch/none
MpiDefault=none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
SchedulerType=sched/builtin
SlurmdParameters=config_overrides
ReturnToService=2
SlurmctldTimeout=30
SlurmdTimeout=30
InactiveLimit=0
KillWait=5
MinJobAge=10
NodeName=qvnode NodeAddr=127.0.0.1 NodeHostname=$HOST CPUs=$CPUS State=UNKNOWN
PartitionName=quorvex Nodes=qvnode Default=YES MaxTime=INFINITE State=UP
CONF
/usr/sbin/slurmctld -D -i -f "$SLURM_CONF" 2>"$T/slurm/slurmctld.stderr" &
STARTED+=($!)
/usr/sbin/slurmd -D -N qvnode -f "$SLURM_CONF" 2>"$T/slurm/slurmd.stderr" &
STARTED+=($!)
ready=""
for _ in $(seq 150); do
  if scontrol show node qvnode 2>/dev/null | grep -Eq 'State=(IDLE|MIXED)'; then ready=1; break; fi
  sleep 0.2
done
if [ -z "$ready" ]; then
  scontrol show node qvnode >&2
  tail -n 20 "$T"/slurm/*.log "$T"/slurm/*.stderr >&2 2>/dev/null
  skip "the one-node Slurm cluster did not come up"
fi

# ---- the job array of the README ----
OUT=$T/out
REPORT=$T/report.jsonl
cat >"$T/convert.sbatch" <<JOB
#!/bin/sh
#SBATCH --job-name=quorvex
#SBATCH --array=1-$SHARDS
#SBATCH --cpus-per-task=1
#SBATCH --output=$T/slurm/task-%a.log
exec "$CLI" -f MP3 -p "MP3 128 kbps" $EXISTING -o "$OUT" --report "$REPORT" \\
  --shard "\$SLURM_ARRAY_TASK_ID/\$SLURM_ARRAY_TASK_COUNT" "$LIB"/*.wav
JOB
if ! timeout 180 sbatch --wait --chdir="$T" "$T/convert.sbatch" >"$T/sbatch.log" 2>&1; then
  cat "$T/sbatch.log" "$T"/slurm/task-*.log >&2 2>/dev/null
  fail "the job array failed"
fi
check_outputs "$OUT" "Slurm job array"
check_report "$REPORT" "Slurm job array"
n=$(jq -s 'map(.shard) | unique | join(" ")' "$REPORT" 2>/dev/null)
[ "$n" = "\"1/3 2/3 3/3\"" ] || fail "Slurm job array: the files came from the shares $n"
tasks=$(ls "$T"/slurm/task-*.log 2>/dev/null | wc -l)
[ "$tasks" -eq "$SHARDS" ] || fail "Slurm job array: $tasks task logs, not $SHARDS"

stop_started
check_nothing_running
[ "$failures" -eq 0 ] && echo "Slurm job array: the recipe passed"
exit $((failures > 0))
