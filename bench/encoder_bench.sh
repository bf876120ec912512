#!/bin/sh
# Converts one generated 60-second clip through avcore.dll and with the
# equivalent direct ffmpeg command, and prints both wall times and their ratio.
#
# Usage: bench/encoder_bench.sh [path/to/avcore.dll] [rounds]
# The runs alternate (avcore, ffmpeg, avcore, ...); the medians are compared.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
avcore=${1:-"$here/../build/Quorvex/avcore.dll"}
rounds=${2:-5}
if [ ! -x "$avcore" ]; then
    echo "avcore.dll not found at $avcore (build the avcore target first)" >&2
    exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/quorvex-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM

clip="$work/clip.mkv"
ffmpeg -hide_banner -loglevel error -nostdin -y \
    -f lavfi -i testsrc=size=640x480:rate=25:duration=60 \
    -f lavfi -i sine=frequency=440:sample_rate=44100:duration=60 \
    -ac 2 -c:v mpeg4 -q:v 3 -c:a pcm_s16le "$clip"

# The AVI option line of an XviD/MP3 profile, and what it means to ffmpeg.
run_avcore() {
    "$avcore" -p 5260718 -i "$clip" -y -f avi -vcodec xvid -s 640x480 -b 1200k -r 25 \
        -acodec mp3 -ac 2 -ab 128 -ar 44100 "$work/through_avcore.avi" 2>/dev/null
}
run_direct() {
    ffmpeg -hide_banner -nostdin -loglevel error -i "file:$clip" -c:v libxvid -s 640x480 -b:v 1200000 -r 25 \
        -c:a libmp3lame -ac 2 -b:a 128000 -ar 44100 -sn -dn -f avi -y "file:$work/direct.avi" 2>/dev/null
}

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f\n", b - a }'; }
median() { sort -n | awk '{v[NR]=$1} END {if (NR % 2) print v[(NR+1)/2]; else print (v[NR/2]+v[NR/2+1])/2}'; }
minimum() { sort -n | head -n 1; }
# User plus system time of all finished children of this shell so far.
# ("times" runs in this shell, its output goes through a file: in a pipe it
# would describe a subshell.)
child_cpu() {
    times > "$work/times.txt"
    tail -n 1 "$work/times.txt" | awk '{ s = 0; for (i = 1; i <= 2; i++) { split($i, p, "m"); s += p[1] * 60 + p[2] } printf "%.3f\n", s }'
}

: > "$work/avcore.times"
: > "$work/direct.times"
: > "$work/avcore.cpu"
: > "$work/direct.cpu"
i=0
while [ "$i" -lt "$rounds" ]; do
    child_cpu > "$work/c0"; t0=$(now); run_avcore; t1=$(now); child_cpu > "$work/c1"
    c0=$(cat "$work/c0"); c1=$(cat "$work/c1")
    elapsed "$t0" "$t1" >> "$work/avcore.times"
    elapsed "$c0" "$c1" >> "$work/avcore.cpu"
    child_cpu > "$work/c0"; t0=$(now); run_direct; t1=$(now); child_cpu > "$work/c1"
    c0=$(cat "$work/c0"); c1=$(cat "$work/c1")
    elapsed "$t0" "$t1" >> "$work/direct.times"
    elapsed "$c0" "$c1" >> "$work/direct.cpu"
    i=$((i + 1))
done

ratio() { awk -v a="$1" -v d="$2" 'BEGIN { printf "%.4f", a / d }'; }
a=$(median < "$work/avcore.times"); d=$(median < "$work/direct.times")
amin=$(minimum < "$work/avcore.times"); dmin=$(minimum < "$work/direct.times")
acpu=$(median < "$work/avcore.cpu"); dcpu=$(median < "$work/direct.cpu")
printf 'clip: 60 s, 640x480 25 fps, stereo 44.1 kHz -> AVI (XviD 1200 kbit/s, MP3 128 kbit/s), %s rounds\n' "$rounds"
printf 'avcore.dll    wall median %.3f s, min %.3f s, cpu median %.3f s   [%s]\n' "$a" "$amin" "$acpu" "$(tr '\n' ' ' < "$work/avcore.times")"
printf 'direct ffmpeg wall median %.3f s, min %.3f s, cpu median %.3f s   [%s]\n' "$d" "$dmin" "$dcpu" "$(tr '\n' ' ' < "$work/direct.times")"
printf 'ratio avcore/direct: wall median %s, wall min %s, cpu %s\n' "$(ratio "$a" "$d")" "$(ratio "$amin" "$dmin")" "$(ratio "$acpu" "$dcpu")"
