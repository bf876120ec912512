#!/bin/sh
# Starts the real window with 10,000 small media files on its command line and
# prints how long it took until the window was usable (shown, every file
# listed and the event loop answering), until every file's media facts had
# been read, and the window's peak memory (VmHWM).
#
# Usage: bench/list_10000.sh [program folder] [files]
#   program folder: the built Quorvex folder (default: build/Quorvex)
# Runs offscreen (QT_QPA_PLATFORM=offscreen) unless DISPLAY is set and
# QV_BENCH_ON_DISPLAY=1. Targets: usable within 1 s, all facts within 10 s,
# under 200 MB.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
built=${1:-"$here/../build/Quorvex"}
count=${2:-10000}
if [ ! -x "$built/quorvex" ]; then
    echo "quorvex not found in $built (build the targets quorvex and qv_data)" >&2
    exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/quorvex-list-bench-XXXXXX")
pid=""
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

mkdir -p "$work/app" "$work/src" "$work/runtime"
chmod 700 "$work/runtime"
copy_program_folder "$built" "$work/app"

# One small clip (a tenth of a second), hard-linked under every name: the
# facts are read from each name as from a file of its own.
ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi -i testsrc=size=64x48:rate=10:duration=0.1 \
    -f lavfi -i sine=duration=0.1:sample_rate=8000 -c:v mpeg4 -c:a pcm_s16le -shortest "$work/clip.avi"
i=0
while [ "$i" -lt "$count" ]; do
    ln "$work/clip.avi" "$work/src/clip $i.avi"
    i=$((i + 1))
done

times="$work/times"
: > "$times"
platform=offscreen
[ "${QV_BENCH_ON_DISPLAY:-0}" = 1 ] && [ -n "${DISPLAY:-}" ] && platform=xcb

# The file names go to the program as arguments (a glob: building the list
# in the shell would take longer than the program).
(
    cd "$work/src"
    QT_QPA_PLATFORM=$platform QV_LIST_TIMES="$times" XDG_RUNTIME_DIR="$work/runtime" \
        exec "$work/app/quorvex" "$work/src/"*.avi
) > "$work/out.log" 2>&1 &
start=$(date +%s%3N)
pid=$!

# Waits up to 120 s for the facts moment.
waited=0
while ! grep -q '^facts=' "$times" 2>/dev/null; do
    if ! kill -0 "$pid" 2>/dev/null; then
        echo "the window ended early:" >&2
        cat "$work/out.log" >&2
        exit 1
    fi
    sleep 0.2
    waited=$((waited + 1))
    if [ "$waited" -gt 600 ]; then
        echo "the facts were not all read within 120 s" >&2
        exit 1
    fi
done
sleep 0.3
peak=$(awk '/^VmHWM:/ { print $2 }' "/proc/$pid/status")

moment() { sed -n "s/^$1=//p" "$times" | head -n 1; }
usable=$(( $(moment usable) - start ))
listed=$(( $(moment listed) - start ))
facts=$(( $(moment facts) - start ))
echo "files:            $count"
echo "time to usable:   $usable ms (target 1000 ms)"
echo "time to listed:   $listed ms"
echo "time to all facts: $facts ms (target 10000 ms)"
echo "peak memory:      $((peak / 1024)) MB (target 200 MB)"
