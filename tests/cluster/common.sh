# Shared parts of the cluster recipe tests; sourced by them.
# A test that cannot start its daemons here exits 77 (skipped, with the
# reason); on the CI machine (root, Debian 12, the packages installed by
# scripts/install-deps.sh) every one must run.
set -uo pipefail
BUILD=$1
APP_BUILT=${QV_APP_DIR:-$BUILD/Quorvex}
# The policy for outputs that exist already, as a recipe passes it.
EXISTING=${QV_TEST_EXISTING_ARGS---existing skip}
FILES=9   # in the library
SHARDS=3
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
# Where the tests must run (root on Debian 12, as on CI), what keeps one from
# starting is a failure; elsewhere the test is skipped, saying why.
must_run() { [ "$(id -u)" -eq 0 ] && grep -q '^12' /etc/debian_version 2>/dev/null; }
skip() {
  if must_run; then
    echo "FAIL: $* (as root on Debian 12 this test must run)" >&2
    exit 1
  fi
  echo "SKIP: $*"
  exit 77
}
need() { for c in "$@"; do command -v "$c" >/dev/null 2>&1 || skip "$c is not installed (scripts/install-deps.sh installs it)"; done; }

T=$(mktemp -d "${TMPDIR:-/tmp}/quorvex-cluster-XXXXXX")
chmod 755 "$T"
STARTED=()   # pids of the daemons this test started
# Ends the daemons this test started, by their pids, last started first.
stop_started() {
  local i pid
  for ((i = ${#STARTED[@]} - 1; i >= 0; i--)); do
    pid=${STARTED[$i]}
    kill "$pid" 2>/dev/null
    for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  STARTED=()
}
cleanup() {
  stop_started
  # A test's own undoing (on_cleanup), when it defines one.
  declare -F on_cleanup >/dev/null && on_cleanup
  rm -rf "$T"
}
trap cleanup EXIT

# A TCP port nobody listens on (asked of the kernel, then freed).
spare_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# The program folder, copied so that its options.ini stays in the test's folder.
copy_program() {
  mkdir -p "$T/app"
  for f in "$APP_BUILT"/*; do
    case "$(basename "$f")" in options.ini|config.ini|DirectShow.avs) continue ;; esac
    cp -r "$f" "$T/app/"
  done
  CLI=$T/app/quorvex-cli
  [ -x "$CLI" ] || { echo "FAIL: no quorvex-cli in $APP_BUILT"; exit 1; }
}

# A library of short generated WAVs in two folders.
make_library() {
  LIB=$T/library
  mkdir -p "$LIB"
  for i in $(seq 1 "$FILES"); do
    ffmpeg -nostdin -loglevel error -f lavfi -i "sine=frequency=$((200 + 40 * i)):duration=0.4" "$LIB/take$i.wav" ||
      skip "ffmpeg cannot make the sample files"
  done
}

# Every source has its output in Folder, exactly once, and nothing else is there
# (no temporary partial file left).
check_outputs() {
  local folder=$1 what=$2
  for i in $(seq 1 "$FILES"); do
    [ -s "$folder/take$i.mp3" ] || fail "$what: take$i.mp3 missing or empty"
  done
  local count
  count=$(find "$folder" -mindepth 1 -maxdepth 1 -name '*.mp3' | wc -l)
  [ "$count" -eq "$FILES" ] || fail "$what: $count outputs for $FILES sources"
  local stray
  stray=$(find "$folder" -mindepth 1 -maxdepth 1 -name '.*qvpart*')
  [ -z "$stray" ] || fail "$what: partial files left: $stray"
}

# The report of the runs: one line per file, every file converted once.
check_report() {
  local report=$1 what=$2
  jq -e . "$report" >/dev/null || { fail "$what: the report is no JSON lines"; return; }
  local n
  n=$(jq -s 'map(select(.status == "converted")) | map(.source) | unique | length' "$report")
  [ "$n" -eq "$FILES" ] || fail "$what: $n files reported converted, not $FILES"
  n=$(jq -s 'length' "$report")
  [ "$n" -eq "$FILES" ] || fail "$what: $n report lines for $FILES files"
}

# No process of this test is left: none whose command line names its folder.
check_nothing_running() {
  local left=""
  for p in /proc/[0-9]*; do
    [ "${p#/proc/}" = "$$" ] && continue
    local cmd
    cmd=$({ tr '\0' ' ' <"$p/cmdline"; } 2>/dev/null)
    case "$cmd" in *"$T/"*) left+=" ${p#/proc/}:${cmd:0:80}" ;; esac
  done
  [ -z "$left" ] || fail "processes left running:$left"
}
