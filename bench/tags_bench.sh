#!/bin/bash
# Converts every tagged audio file under a folder through avcore.dll into
# each output container and prints, per container, the share of the
# source's tag values that ffprobe reads back from the output: of all
# values, and of those the container can hold (the README's tag table).
#
# Usage: bench/tags_bench.sh FOLDER [path/to/avcore.dll] [CONTAINER...]
# (only the named containers when any are given)
# Freely licensed, tagged music from Debian's archive, for example:
#   cd /tmp && apt-get download tuxmath-data funnyboat minetest-data
#   for d in tuxmath-data_*.deb funnyboat_*.deb minetest-data_*.deb; do dpkg-deb -x "$d" /tmp/tagged; done
#   bench/tags_bench.sh /tmp/tagged
set -eu

here=$(cd "$(dirname "$0")" && pwd)
folder=${1:?usage: $0 FOLDER [avcore.dll]}
avcore=${2:-"$here/../build/Quorvex/avcore.dll"}
shift $(($# < 2 ? $# : 2))
only=" $* "
if [ ! -x "$avcore" ]; then
    echo "avcore.dll not found at $avcore (build the avcore target first)" >&2
    exit 1
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/quorvex-tags-XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM

# Container, output extension, option line (as the profiles write them), and
# the tags it holds: "*" any name; otherwise the names ffmpeg writes and
# reads back there (name=stored-as where the container renames one).
containers=(
    "avi|.avi|-y -f avi -acodec mp3 -ac 2 -ab 128 -ar 44100|title artist album=product genre date comment track copyright language"
    "mp4|.mp4|-y -f mp4 -acodec aac -ac 2 -ab 128 -ar 44100|title artist album album_artist track disc date genre composer comment copyright description grouping lyrics synopsis show episode_id network"
    "3gp|.3gp|-y -f 3gp -acodec aac -ac 2 -ab 64 -ar 44100|"
    "mpeg|.mpg|-y -f mpeg -acodec mp2 -ac 2 -ab 192 -ar 44100|"
    "mov|.mov|-y -f mov -acodec aac -ac 2 -ab 128 -ar 44100|*"
    "wmv|.wmv|-y -f asf -acodec mp3 -ac 2 -ab 128 -ar 44100|*"
    "rm|.rm|-y -f rm -acodec ac3 -ac 2 -ab 128 -ar 44100|title author copyright comment"
    "swf|.swf|-y -f swf -acodec mp3 -ac 2 -ab 128 -ar 44100|"
    "vob|.vob|-y -f vob -acodec mp2 -ac 2 -ab 192 -ar 48000|"
    "asf|.asf|-y -f asf -acodec mp3 -ac 2 -ab 128 -ar 44100|*"
    "aac|.aac|-y -f aac -vn -acodec aac -ac 2 -ab 128 -ar 44100|*"
    "ac3|.ac3|-y -f ac3 -vn -acodec ac3 -ac 2 -ab 192 -ar 48000|"
    "mp2|.mp2|-y -f mp2 -vn -acodec mp2 -ac 2 -ab 192 -ar 44100|"
    "mp3|.mp3|-y -f mp3 -vn -acodec mp3 -ac 2 -ab 128 -ar 44100|*"
    "amr|.amr|-y -f amr -vn -acodec amr_nb -ac 1 -ar 8000|"
    "wav|.wav|-y -f wav -vn -acodec pcm_s16le -ac 2 -ar 44100|title artist album genre date comment track copyright language encoded_by"
    "mkv|.mkv|-y -f matroska -acodec opus -ab 128|*"
    "webm|.webm|-y -f webm -acodec opus -ab 128|*"
    "opus|.opus|-y -f opus -vn -acodec opus -ab 128|*"
    "flac|.flac|-y -f flac -vn -acodec flac|*"
    "m4a|.m4a|-y -f ipod -vn -acodec aac -ab 256|title artist album album_artist track disc date genre composer comment copyright description grouping lyrics synopsis show episode_id network"
    "ogg|.ogg|-y -f ogg -vn -acodec vorbis -ab 160|*"
)

# Tag lines "name=value" of a file, the container's and its first audio
# stream's, technical names left out. Names are compared in lower case with
# "_" for a blank: Matroska stores "Artist Homepage" as ARTIST_HOMEPAGE.
tags_of() {
    ffprobe -v error -show_entries format_tags:stream_tags -select_streams a:0 -of default=nw=1 "$1" 2>/dev/null |
        sed -n 's/^TAG:\([^=]*\)=\(.*\)$/\1=\2/p' |
        awk -F= '{ k = tolower($1); gsub(/ /, "_", k); sub(/^[^=]*=/, ""); print k "=" $0 }' |
        grep -v -E '^(encoder|major_brand|minor_version|compatible_brands|creation_time|handler_name|vendor_id|language|duration|software)=' |
        sort -u || true
}

mapfile -t sources < <(find "$folder" -type f \( -iname '*.ogg' -o -iname '*.oga' -o -iname '*.opus' -o -iname '*.flac' \
    -o -iname '*.mp3' -o -iname '*.m4a' -o -iname '*.wma' \) | sort)
tagged=()
for s in "${sources[@]}"; do
    [ -n "$(tags_of "$s")" ] && tagged+=("$s")
done
echo "${#tagged[@]} tagged files of ${#sources[@]} under $folder"
[ ${#tagged[@]} -gt 0 ] || exit 1

printf '%-5s %8s %8s %8s %9s\n' container values kept holdable kept/hold
for row in "${containers[@]}"; do
    IFS='|' read -r name ext line holds <<<"$row"
    [ "$only" = "  " ] || [[ "$only" == *" $name "* ]] || continue
    total=0 kept=0 holdable=0 holdkept=0
    for s in "${tagged[@]}"; do
        out="$work/out$ext"
        rm -f "$out"
        # shellcheck disable=SC2086
        "$avcore" -p 5260718 -i "$s" $line "$out" >/dev/null 2>&1 || { echo "  $name: conversion failed: $s" >&2; continue; }
        got=$(tags_of "$out")
        while IFS= read -r tag; do
            key=${tag%%=*} value=${tag#*=}
            stored=$key held=0
            if [ "$holds" = "*" ]; then
                held=1
            else
                for h in $holds; do
                    if [ "${h%%=*}" = "$key" ]; then
                        held=1
                        stored=${h#*=}
                    fi
                done
            fi
            total=$((total + 1))
            ok=0
            grep -qxF -- "$stored=$value" <<<"$got" && ok=1
            kept=$((kept + ok))
            if [ $held = 1 ]; then
                holdable=$((holdable + 1))
                holdkept=$((holdkept + ok))
            fi
        done < <(tags_of "$s")
    done
    share="-"
    [ $holdable -gt 0 ] && share=$(awk -v k=$holdkept -v h=$holdable 'BEGIN { printf "%.1f%%", 100 * k / h }')
    printf '%-5s %8d %8d %8d %9s\n' "$name" $total $kept $holdable "$share"
done
