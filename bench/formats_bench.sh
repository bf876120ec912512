#!/bin/sh
# The newer formats on this machine:
#  1. encode speed and size of the shipped MKV and WebM profiles of the newer
#     video codecs (H.265, VP9, AV1) on a real clip, through avcore.dll with
#     the option lines quorvex-cli prints for those profiles;
#  2. copying against encoding: a generated 60 s 640x480 H.264/AAC MKV into
#     MP4 with an MP4 profile in the source's size, once encoded and once with
#     "--copy-fitting" (-copyfit); the copy must take at most a tenth of the
#     encoding's time (exit code 1 otherwise).
#
# Usage: bench/formats_bench.sh [program folder] [clip]
# The clip defaults to opencv-doc's Megamind.avi (QV_REAL_MEDIA or
# /usr/share/doc/opencv-doc/examples/data); without it, part 1 is skipped.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
built=${1:-"$here/../build/Quorvex"}
clip=${2:-"${QV_REAL_MEDIA:-/usr/share/doc/opencv-doc/examples/data}/Megamind.avi"}
if [ ! -x "$built/avcore.dll" ] || [ ! -x "$built/quorvex-cli" ]; then
    echo "avcore.dll or quorvex-cli not found in $built (build avcore and quorvex-cli first)" >&2
    exit 2
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/quorvex-formats-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
# A private program folder, so that the user's settings stay out of it.
copy_program_folder "$built" "$work/program"
avcore="$work/program/avcore.dll"
cli="$work/program/quorvex-cli"

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f\n", b - a }'; }
duration() { ffprobe -v error -show_entries format=duration -of csv=p=0 "$1"; }

# encode LINE OUTPUT: runs avcore.dll on the clip and prints the seconds taken.
encode() {
    t0=$(now)
    # shellcheck disable=SC2086 # the option line is split into its options
    "$avcore" -p 5260718 -i "$3" -replace any $1 "$2" > "$work/log.txt" 2>&1 || {
        cat "$work/log.txt" >&2
        exit 2
    }
    elapsed "$t0" "$(now)"
}

if [ -f "$clip" ]; then
    length=$(duration "$clip")
    echo "Clip: $clip ($length s)"
    printf '%-5s %-30s %9s %9s %11s\n' format profile seconds "x speed" "size kB"
    for pair in "mkv|H.265 CRF 24, Opus 128 kbps" "webm|VP9 CRF 32, Opus" "webm|AV1 CRF 35, Opus 96 kbps" \
        "mkv|Default"; do
        format=${pair%%|*}
        profile=${pair#*|}
        line=$("$cli" -f "$format" -p "$profile" --print-options)
        out="$work/out.$format"
        seconds=$(encode "$line" "$out" "$clip")
        size=$(( $(stat -c %s "$out") / 1024 ))
        speed=$(awk -v l="$length" -v s="$seconds" 'BEGIN { printf "%.2f", l / s }')
        printf '%-5s %-30s %9s %9s %11s\n' "$format" "$profile" "$seconds" "$speed" "$size"
    done
else
    echo "No real clip at $clip: encode speeds skipped"
fi

# Copy against encode.
source="$work/source.mkv"
ffmpeg -hide_banner -loglevel error -nostdin -y \
    -f lavfi -i testsrc2=size=640x480:rate=25:duration=60 \
    -f lavfi -i sine=frequency=440:sample_rate=44100:duration=60 \
    -ac 2 -c:v libx264 -b:v 800k -preset veryfast -c:a aac -b:a 128k "$source"
# The line of an MP4 profile in the source's size at 1200 kbps, AAC 192 kbps
# 44100 Hz stereo (the shipped ones shrink the picture, which always encodes).
line="-y -f mp4 -vcodec h264 -b 1200k -r 25 -acodec aac -ac 2 -ab 192 -ar 44100"
encoded=$(encode "$line" "$work/encoded.mp4" "$source")
copied=$(encode "$line -copyfit" "$work/copied.mp4" "$source")
grep -q "copied as it is" "$work/log.txt" || {
    echo "the copy run copied nothing:" >&2
    cat "$work/log.txt" >&2
    exit 1
}
ratio=$(awk -v c="$copied" -v e="$encoded" 'BEGIN { printf "%.3f", c / e }')
echo "60 s 640x480 H.264/AAC MKV into MP4 ($line): encoded ${encoded} s, copied ${copied} s, ratio $ratio"
if awk -v r="$ratio" 'BEGIN { exit !(r > 0.1) }'; then
    echo "FAIL: copying took more than a tenth of encoding" >&2
    exit 1
fi
echo "OK: copying took at most a tenth of encoding"
