#!/usr/bin/env bash
# The GNU parallel recipes of the README, run for real over SSH against this
# machine: Debian's sshd on a spare port of 127.0.0.1 with a temporary host
# key and user key, started and stopped by this test.
#  1. shared storage: N=3 runs of quorvex-cli --shard {}/3 over one library;
#  2. no shared storage: each file sent with --transferfile into --workdir,
#     converted there, its output brought back with --return, --cleanup.
# Usage: parallel_ssh_test.sh BUILD_DIR
. "$(dirname "$0")/common.sh"

need ssh ssh-keygen parallel jq ffmpeg python3
SSHD=/usr/sbin/sshd
[ -x "$SSHD" ] || skip "sshd is not installed (openssh-server; scripts/install-deps.sh installs it)"
# sshd's privilege separation needs its empty folder; made when missing and
# removed again afterwards.
made_run_sshd=""
if [ ! -d /run/sshd ]; then
  mkdir -p /run/sshd 2>/dev/null || skip "cannot create /run/sshd (sshd needs it; run as root)"
  chmod 755 /run/sshd
  made_run_sshd=1
fi
on_cleanup() { [ -z "$made_run_sshd" ] || rmdir /run/sshd 2>/dev/null; made_run_sshd=""; }

copy_program
make_library

# ---- sshd on a spare port ----
ssh-keygen -q -t ed25519 -N '' -f "$T/host_key" || skip "ssh-keygen cannot make a host key"
ssh-keygen -q -t ed25519 -N '' -f "$T/user_key" || skip "ssh-keygen cannot make a user key"
cp "$T/user_key.pub" "$T/authorized_keys"
chmod 600 "$T/authorized_keys"
PORT=$(spare_port)
cat >"$T/sshd_config" <<CONF
Port $PORT
ListenAddress 127.0.0.1
HostKey $T/host_key
PidFile $T/sshd.pid
AuthorizedKeysFile $T/authorized_keys
PubkeyAuthentication yes
PasswordAuthentication no
KbdInteractiveAuthentication no
PermitRootLogin prohibit-password
UsePAM no
StrictModes no
MaxStartups 50
MaxSessions 50
LogLevel ERROR
Subsystem sftp internal-sftp
CONF
"$SSHD" -D -e -f "$T/sshd_config" 2>"$T/sshd.log" &
STARTED+=($!)
cat >"$T/ssh_config" <<CONF
Host qvnode
  HostName 127.0.0.1
  Port $PORT
  User $(id -un)
  IdentityFile $T/user_key
  IdentitiesOnly yes
  UserKnownHostsFile $T/known_hosts
  StrictHostKeyChecking yes
  BatchMode yes
  LogLevel ERROR
CONF
echo "[127.0.0.1]:$PORT $(cut -d' ' -f1,2 "$T/host_key.pub")" >"$T/known_hosts"
SSH="ssh -F $T/ssh_config"
up=""
for _ in $(seq 100); do
  if $SSH qvnode true 2>"$T/ssh.err"; then up=1; break; fi
  kill -0 "${STARTED[0]}" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$up" ]; then
  cat "$T/sshd.log" "$T/ssh.err" >&2
  skip "sshd did not accept the test key on port $PORT"
fi
export PARALLEL_HOME=$T/parallel-home   # parallel's own settings stay here too
mkdir -p "$PARALLEL_HOME"

# ---- 1. shared storage: one share per task ----
OUT=$T/out-shared
REPORT=$T/report-shared.jsonl
# shellcheck disable=SC2086 # EXISTING is a list of arguments
seq 1 $SHARDS | parallel --ssh "$SSH" -S 2/qvnode --halt now,fail=1 \
  "$CLI" -f MP3 -p "'MP3 128 kbps'" $EXISTING -o "$OUT" --report "$REPORT" --shard {}/$SHARDS "$LIB/*.wav" \
  >"$T/shared.log" 2>&1 || { cat "$T/shared.log" >&2; fail "parallel with shared storage"; }
check_outputs "$OUT" "shared storage"
check_report "$REPORT" "shared storage"
n=$(jq -s 'map(.shard) | unique | length' "$REPORT" 2>/dev/null)
[ "$n" = "$SHARDS" ] || fail "shared storage: files came from $n shares, not $SHARDS"
# Run again: with the existing outputs kept, nothing is converted twice.
before=$(stat -c '%i %Y' "$OUT"/*.mp3 | sort)
seq 1 $SHARDS | parallel --ssh "$SSH" -S 2/qvnode \
  "$CLI" -f MP3 -p "'MP3 128 kbps'" $EXISTING -o "$OUT" --shard {}/$SHARDS "$LIB/*.wav" \
  >"$T/again.log" 2>&1
if [ "$EXISTING" = "--existing skip" ]; then
  [ "$before" = "$(stat -c '%i %Y' "$OUT"/*.mp3 | sort)" ] || fail "a second run replaced outputs"
fi
check_outputs "$OUT" "shared storage, run again"

# ---- 2. no shared storage: files travel ----
WORK=$T/work      # where the files are (the submitting host)
mkdir -p "$WORK"
cp "$LIB"/*.wav "$WORK/"
REMOTE=$T/remote  # the remote host's working folder
(cd "$WORK" && ls -- *.wav | parallel --ssh "$SSH" -S 2/qvnode --workdir "$REMOTE" \
  --transferfile {} --return {.}.mp3 --cleanup --halt now,fail=1 \
  "$CLI" -f MP3 -p "'MP3 128 kbps'" $EXISTING -o . {}) >"$T/transfer.log" 2>&1 ||
  { cat "$T/transfer.log" >&2; fail "parallel with --transferfile/--return"; }
check_outputs "$WORK" "transferred"
left=$(find "$REMOTE" -type f 2>/dev/null | head -3)
[ -z "$left" ] || fail "--cleanup left files in the remote working folder: $left"

stop_started
on_cleanup
check_nothing_running
[ "$failures" -eq 0 ] && echo "parallel over SSH: both recipes passed"
exit $((failures > 0))
