#!/bin/sh
# Converts a batch of generated clips through quorvex-cli (start-up, file
# checks, media facts, the batch driver, avcore.dll and its ffmpeg) and runs
# the very same ffmpeg encodes directly, then prints both wall times and
# their ratio.
#
# Usage: bench/cli_batch_bench.sh [program folder] [rounds] [clips] [seconds per clip]
#   program folder: the built Quorvex folder (default: build/Quorvex)
# The ffmpeg commands of the direct runs are recorded from one extra run of
# quorvex-cli (through a recording wrapper), so both sides do the same encodes.
# The timed runs alternate (quorvex-cli, direct ffmpeg, avcore.dll alone, ...);
# medians are compared. avcore.dll alone shows how much of the difference is
# the encoder program's own (it probes every input before converting it).
# Everything happens in a temporary copy of the program folder.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
built=${1:-"$here/../build/Quorvex"}
rounds=${2:-3}
clips=${3:-4}
seconds=${4:-20}
if [ ! -x "$built/quorvex-cli" ] || [ ! -x "$built/avcore.dll" ]; then
    echo "quorvex-cli or avcore.dll not found in $built (build the targets quorvex-cli, avcore and qv_data)" >&2
    exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/quorvex-cli-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM

# A private program folder with one AVI profile of default settings
# (MS-MPEG-4 1080 kbit/s, MP3 96 kbit/s stereo 22.05 kHz).
mkdir -p "$work/app" "$work/src" "$work/out" "$work/direct" "$work/rec"
copy_program_folder "$built" "$work/app"
mkdir -p "$work/app/langs/English_Profile/avi"
printf '[General]\nDescription=bench\n' > "$work/app/langs/English_Profile/avi/Bench.avo"
cli="$work/app/quorvex-cli"

patterns="testsrc testsrc2 smptebars rgbtestsrc"
i=0
for p in $patterns $patterns $patterns; do
    [ "$i" -lt "$clips" ] || break
    ffmpeg -hide_banner -loglevel error -nostdin -y \
        -f lavfi -i "$p=size=640x480:rate=25:duration=$seconds" \
        -f lavfi -i "sine=frequency=$((300 + 100 * i)):sample_rate=44100:duration=$seconds" \
        -ac 2 -c:v mpeg4 -q:v 3 -c:a libmp3lame -b:a 192k -shortest "$work/src/clip$i.avi"
    i=$((i + 1))
done

# Record the ffmpeg commands avcore.dll runs for this batch.
cat > "$work/record-ffmpeg" <<EOF
#!/bin/sh
n=\$(ls "$work/rec" | wc -l)
printf '%s\0' "\$@" > "$work/rec/\$(printf %04d "\$n")"
exec ffmpeg "\$@"
EOF
chmod +x "$work/record-ffmpeg"
QV_FFMPEG="$work/record-ffmpeg" "$cli" -y -f avi -p Bench -o "$work/out" "$work"/src/*.avi > /dev/null

# The recorded commands write into the CLI's output folder, under the hidden
# temporary name the encoder renames when the file is complete; the direct
# runs write the final names into a folder of their own.
for r in "$work"/rec/*; do
    tr '\0' '\n' < "$r" |
        sed -E "s|$work/out/\\.(.*)\\.qvpart-[0-9]+\\.[^./]*\$|$work/direct/\\1|; s|$work/out/|$work/direct/|" |
        tr '\n' '\0' > "$r.direct"
    rm "$r"
done

# The encoder command lines quorvex-cli gives, to run avcore.dll alone as well
# (the bench's file names need no quoting beyond what xargs understands).
"$cli" -f avi -p Bench -o "$work/avcore" --print-commands "$work"/src/*.avi > "$work/avcore.commands"
mkdir -p "$work/avcore"

# The three ways of doing the batch, as scripts, so that /usr/bin/time can
# count the CPU time of everything each one starts as well.
cat > "$work/cli.sh" <<EOF
"$cli" -y -f avi -p Bench -o "$work/out" "$work"/src/*.avi > /dev/null 2>&1
EOF
cat > "$work/direct.sh" <<EOF
for r in "$work"/rec/*.direct; do
    # avcore.dll reads ffmpeg's progress on descriptor 3; here nobody does.
    xargs -0 -a "\$r" ffmpeg 3>/dev/null > /dev/null 2>&1
done
EOF
cat > "$work/avcore.sh" <<EOF
while IFS= read -r line; do
    printf '%s\n' "\$line" | xargs sh -c 'exec "\$@"' sh > /dev/null 2>&1
done < "$work/avcore.commands"
EOF

# One timed run: wall seconds and CPU seconds (user + system) appended to a file.
timed() {
    if [ -x /usr/bin/time ]; then
        /usr/bin/time -f '%e %U %S' -o "$work/last.time" sh "$work/$1.sh"
        awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' "$work/last.time" >> "$work/$1.times"
    else
        t0=$(date +%s.%N); sh "$work/$1.sh"; t1=$(date +%s.%N)
        awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f 0\n", b - a }' >> "$work/$1.times"
    fi
}
median() { sort -n | awk '{v[NR]=$1} END {if (NR % 2) print v[(NR+1)/2]; else print (v[NR/2]+v[NR/2+1])/2}'; }
column() { awk -v c="$2" '{ print $c }' "$work/$1.times"; }
stat_of() { column "$1" "$2" | median; }
min_of() { column "$1" "$2" | sort -n | head -1; }
ratio() { awk -v a="$1" -v d="$2" 'BEGIN { printf "%.4f", a / d }'; }

for v in cli direct avcore; do : > "$work/$v.times"; done
i=0
while [ "$i" -lt "$rounds" ]; do
    timed cli
    timed direct
    timed avcore
    i=$((i + 1))
done

for f in "$work"/out/*.avi; do
    [ -s "$f" ] && [ -s "$work/direct/$(basename "$f")" ] && [ -s "$work/avcore/$(basename "$f")" ] ||
        { echo "missing output for $(basename "$f")" >&2; exit 1; }
done

printf 'batch: %s clips of %s s, 640x480 25 fps, stereo -> AVI (MS-MPEG-4 1080 kbit/s, MP3 96 kbit/s), %s rounds, %s ffmpeg runs\n' \
    "$clips" "$seconds" "$rounds" "$(ls "$work"/rec/*.direct | wc -l)"
for v in cli direct avcore; do
    case $v in
        cli) name="quorvex-cli" ;;
        direct) name="direct ffmpeg" ;;
        avcore) name="avcore.dll alone" ;;
    esac
    printf '%-17s wall median %.3f s, min %.3f s; CPU median %.3f s   [wall: %s]\n' "$name" \
        "$(stat_of $v 1)" "$(min_of $v 1)" "$(stat_of $v 2)" "$(column $v 1 | tr '\n' ' ')"
done
printf 'ratio quorvex-cli/direct: wall median %s, wall min %s, CPU %s\n' \
    "$(ratio "$(stat_of cli 1)" "$(stat_of direct 1)")" "$(ratio "$(min_of cli 1)" "$(min_of direct 1)")" \
    "$(ratio "$(stat_of cli 2)" "$(stat_of direct 2)")"
printf 'ratio quorvex-cli/avcore.dll alone: wall median %s, CPU %s\n' \
    "$(ratio "$(stat_of cli 1)" "$(stat_of avcore 1)")" "$(ratio "$(stat_of cli 2)" "$(stat_of avcore 2)")"
printf 'load average: %s\n' "$(cut -d' ' -f1-3 /proc/loadavg)"
