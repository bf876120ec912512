#!/bin/sh
# Normalises real recordings through quorvex-cli and measures every output
# with ffmpeg's own EBU R128 meter (not the program's), then prints per file
# and format: the target, the measured integrated loudness and true peak,
# and whether they are within 0.5 LU of the target and at or below the
# ceiling (+0.5 dB for lossy formats).
#
# Usage: bench/loudness.sh [-t TARGET] [-c CEILING] [-f "MP3 AAC WAV"] [-d PROGRAM_FOLDER] FILE...
#   TARGET: LUFS (default -16), CEILING: dBTP (default -1), formats: any of
#   quorvex-cli's format names with sound.
# Example with recordings nobody here made (Debian packages, unpacked only):
#   apt-get download alsa-utils asc-music
#   dpkg-deb -x alsa-utils_*.deb x; dpkg-deb -x asc-music_*.deb x
#   bench/loudness.sh x/usr/share/sounds/alsa/*.wav x/usr/share/games/asc/music/*.mp3
# Everything happens in a temporary copy of the program folder. Ends with 1
# when any output misses.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
target=-16
ceiling=-1
formats="MP3 AAC WAV"
built="$here/../build/Quorvex"
while getopts t:c:f:d: opt; do
    case $opt in
        t) target=$OPTARG ;;
        c) ceiling=$OPTARG ;;
        f) formats=$OPTARG ;;
        d) built=$OPTARG ;;
        *) exit 2 ;;
    esac
done
shift $((OPTIND - 1))
if [ $# -eq 0 ]; then
    echo "usage: $0 [-t TARGET] [-c CEILING] [-f FORMATS] [-d PROGRAM_FOLDER] FILE..." >&2
    exit 2
fi
if [ ! -x "$built/quorvex-cli" ] || [ ! -x "$built/avcore.dll" ]; then
    echo "quorvex-cli or avcore.dll not found in $built (build quorvex-cli, avcore, qv_data and qv_shipped_profiles)" >&2
    exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/quorvex-loudness-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
copy_program_folder "$built" "$work/app"

# integrated LUFS and true peak dBTP of a file, by ffmpeg's meter
measure() {
    ffmpeg -hide_banner -nostats -nostdin -i "$1" -map 0:a:0 -af ebur128=peak=true:framelog=verbose -f null - 2>&1 |
        awk '/Summary:/ { s = 1 } s && $1 == "I:" { i = $2 } s && $1 == "Peak:" { p = $2 } END { print i, p }'
}

missed=0
printf '%-28s %-4s %8s %8s %8s %8s  %s\n' file fmt target source measured peak result
for format in $formats; do
    out="$work/out-$format"
    mkdir -p "$out"
    "$work/app/quorvex-cli" -f "$format" -o "$out" -y --loudness "$target" --true-peak "$ceiling" "$@" \
        > "$work/log-$format" 2>&1 || true
    for src in "$@"; do
        name=$(basename "$src")
        stem=${name%.*}
        output=$(ls "$out/$stem".* 2>/dev/null | head -n 1 || true)
        source_i=$(measure "$src" | cut -d' ' -f1)
        if [ -z "$output" ]; then
            printf '%-28s %-4s %8s %8s %8s %8s  %s\n' "$name" "$format" "$target" "$source_i" - - "FAILED (see below)"
            missed=1
            continue
        fi
        figures=$(measure "$output")
        i=${figures% *}
        p=${figures#* }
        lossy=0.5
        [ "$format" = WAV ] && lossy=0
        verdict=$(awk -v i="$i" -v p="$p" -v t="$target" -v c="$ceiling" -v l="$lossy" 'BEGIN {
            d = i - t; if (d < 0) d = -d
            ok = (d <= 0.5) && (p <= c + l)
            print ok ? "ok" : (d > 0.5 ? "MISSED target" : "MISSED ceiling") }')
        case $verdict in ok) ;; *) missed=1 ;; esac
        # A target the program said it could not reach is a note, not a miss of the program.
        if grep -q "not reached" "$work/log-$format" && grep -A3 "$name" "$work/log-$format" | grep -q "not reached"; then
            verdict="$verdict (program: target not reached)"
        fi
        printf '%-28s %-4s %8s %8s %8s %8s  %s\n' "$name" "$format" "$target" "$source_i" "$i" "$p" "$verdict"
    done
    if grep -q "^Failed" "$work/log-$format"; then
        cat "$work/log-$format" >&2
    fi
done
exit $missed
