#!/bin/sh
# Reads the media facts of 200 generated files with "quorvex-cli --info" and
# with the mediainfo program on the same files, and prints the wall times and
# their ratios: against mediainfo's normal report, and against a mediainfo
# template that asks for the same sixteen facts.
#
# Usage: bench/info_bench.sh [program folder] [rounds] [files]
#   program folder: the built Quorvex folder (default: build/Quorvex)
# The mediainfo program is installed (Debian package "mediainfo") when missing.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
built=${1:-"$here/../build/Quorvex"}
rounds=${2:-5}
count=${3:-200}
if [ ! -x "$built/quorvex-cli" ]; then
    echo "quorvex-cli not found in $built (build the targets quorvex-cli and qv_data)" >&2
    exit 1
fi
if ! command -v mediainfo > /dev/null 2>&1; then
    echo "installing the mediainfo program" >&2
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    $SUDO apt-get install -y -q --no-install-recommends mediainfo > /dev/null
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/quorvex-info-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM

mkdir -p "$work/app" "$work/src"
copy_program_folder "$built" "$work/app"
cli="$work/app/quorvex-cli"

# Five kinds of source, each copied to a fifth of the names.
ff="ffmpeg -hide_banner -loglevel error -nostdin -y"
v="-f lavfi -i testsrc=size=320x240:rate=25:duration=3"
a="-f lavfi -i sine=duration=3"
$ff $v $a -c:v mpeg4 -c:a libmp3lame -shortest "$work/k0.avi"
$ff $v $a -c:v libx264 -preset ultrafast -c:a aac -shortest "$work/k1.mp4"
$ff $v $a -c:v mpeg2video -c:a mp2 -shortest "$work/k2.mpg"
$ff $a -c:a libmp3lame "$work/k3.mp3"
$ff $a -c:a pcm_s16le "$work/k4.wav"
i=0
while [ "$i" -lt "$count" ]; do
    k=$((i % 5))
    for f in "$work"/k$k.*; do
        cp "$f" "$work/src/file$(printf %03d "$i").${f##*.}"
    done
    i=$((i + 1))
done
set -- "$work"/src/*

# The sixteen facts quorvex-cli prints, as a mediainfo template.
template='General;%CompleteName%\t%FileSize%\t%Format%\t%Duration/String3%\t%AudioCount%\t%VideoCount%\t\nVideo;%Format%\t%Width%\t%Height%\t%BitRate%\t%DisplayAspectRatio%\t%FrameRate%\t\nAudio;%Format%\t%BitRate%\t%Channel(s)%\t%SamplingRate%\n'

run_cli() { "$cli" --info "$@" > "$work/cli.out"; }
run_mediainfo() { mediainfo "$@" > "$work/mediainfo.out"; }
run_template() { mediainfo "--Inform=$template" "$@" > "$work/template.out"; }

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f\n", b - a }'; }
median() { sort -n | awk '{v[NR]=$1} END {if (NR % 2) print v[(NR+1)/2]; else print (v[NR/2]+v[NR/2+1])/2}'; }

: > "$work/cli.times"
: > "$work/mediainfo.times"
: > "$work/template.times"
r=0
while [ "$r" -lt "$rounds" ]; do
    t0=$(now); run_cli "$@"; t1=$(now)
    elapsed "$t0" "$t1" >> "$work/cli.times"
    t0=$(now); run_mediainfo "$@"; t1=$(now)
    elapsed "$t0" "$t1" >> "$work/mediainfo.times"
    t0=$(now); run_template "$@"; t1=$(now)
    elapsed "$t0" "$t1" >> "$work/template.times"
    r=$((r + 1))
done

described=$(grep -c '^FormatName	' "$work/cli.out" || true)
c=$(median < "$work/cli.times")
m=$(median < "$work/mediainfo.times")
t=$(median < "$work/template.times")
printf 'files: %s (AVI, MP4, MPEG, MP3, WAV; 3 s each), %s rounds, %s described by quorvex-cli\n' "$count" "$rounds" "$described"
printf 'quorvex-cli --info wall time (median): %.3f s   [%s]\n' "$c" "$(tr '\n' ' ' < "$work/cli.times")"
printf 'mediainfo wall time (median): %.3f s   [%s]\n' "$m" "$(tr '\n' ' ' < "$work/mediainfo.times")"
printf 'mediainfo --Inform (same facts) wall time (median): %.3f s   [%s]\n' "$t" "$(tr '\n' ' ' < "$work/template.times")"
printf 'ratio quorvex-cli/mediainfo: %s\n' "$(awk -v a="$c" -v d="$m" 'BEGIN { printf "%.4f", a / d }')"
printf 'ratio quorvex-cli/mediainfo --Inform: %s\n' "$(awk -v a="$c" -v d="$t" 'BEGIN { printf "%.4f", a / d }')"
printf 'load average: %s\n' "$(cut -d' ' -f1-3 /proc/loadavg)"
