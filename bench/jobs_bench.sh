#!/bin/sh
# Converts three sets of generated files with quorvex-cli and with a direct
# sequential ffmpeg loop doing the very same encodes, and prints wall times
# and their ratios:
#   audio: 16 ten-second WAV files -> MP3
#   video: 8 ten-second 640x480 clips -> AVI (XviD video, MP3 audio)
#   tiny:  50 one-second WAV files -> MP3 (what each file costs beyond ffmpeg)
# The audio and video sets run with -j 1 and -j 2, and the direct commands
# also two at a time (what the machine itself gives two runs side by side);
# the tiny set with one job.
# A quorvex-cli without -j runs one job (its only way) and the -j 2 rows are
# skipped with a note.
#
# Usage: bench/jobs_bench.sh [program folder] [rounds] [tiny rounds]
#   program folder: the built Quorvex folder (default: build/Quorvex)
#   rounds: timed runs of each way for the audio and video sets (default 5)
#   tiny rounds: timed runs of each way for the tiny set (default 9; at least 5)
# QV_BENCH_SETS names the sets to run (default: "audio video tiny").
# The ffmpeg commands of the direct runs are recorded from one extra run of
# quorvex-cli (through a recording wrapper). The timed runs alternate
# (-j 1, -j 2, direct, -j 1, ...); medians are compared, and so are the runs
# of each round with each other (the median of the ratios of runs made one
# after the other, which a machine whose speed drifts over minutes blurs less). Everything happens in
# a temporary copy of the program folder. The machine's load is printed
# before and after: on a busy machine the ratios say little.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
built=${1:-"$here/../build/Quorvex"}
rounds=${2:-5}
tinyRounds=${3:-9}
if [ ! -x "$built/quorvex-cli" ] || [ ! -x "$built/avcore.dll" ]; then
    echo "quorvex-cli or avcore.dll not found in $built (build the targets quorvex-cli, avcore and qv_data)" >&2
    exit 1
fi
if [ "$tinyRounds" -lt 5 ]; then
    echo "the tiny set needs at least 5 rounds for its median" >&2
    exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/quorvex-jobs-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM

printf 'cores: %s; load average before: %s\n' "$(nproc)" "$(cut -d' ' -f1-3 /proc/loadavg)"

# A private program folder with an MP3 profile (128 kbit/s stereo 44.1 kHz)
# and an AVI profile of XviD video (1080 kbit/s) and MP3 audio.
mkdir -p "$work/app"
copy_program_folder "$built" "$work/app"
cli="$work/app/quorvex-cli"
"$cli" -f mp3 --add-profile Bench -y > /dev/null
"$cli" -f avi --add-profile Bench -y --set VideoCodec=1 > /dev/null
case "$("$cli" -f avi -p Bench --print-options)" in
    *"-vcodec xvid "*) ;;
    *) echo "the AVI bench profile does not encode XviD: $("$cli" -f avi -p Bench --print-options)" >&2; exit 1 ;;
esac

if "$cli" --help | grep -q -- '^ *-j'; then
    hasJobs=1
else
    hasJobs=0
fi

# The sources, of the sets that run.
sets=${QV_BENCH_SETS:-audio video tiny}
has() { case " $sets " in *" $1 "*) return 0 ;; *) return 1 ;; esac; }
gen() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }
# tones DIR PREFIX COUNT SECONDS LOWEST STEP: COUNT stereo WAV files of sine
# tones, LOWEST Hz and up by STEP Hz.
tones() {
    mkdir -p "$1"
    i=0
    while [ "$i" -lt "$3" ]; do
        gen -f lavfi -i "sine=frequency=$(($5 + $6 * i)):sample_rate=44100:duration=$4" -ac 2 \
            "$1/$2$(printf %02d "$i").wav"
        i=$((i + 1))
    done
}
has audio && tones "$work/audio" a 16 10 300 20
if has video; then
    mkdir -p "$work/video"
    patterns="testsrc testsrc2 smptebars rgbtestsrc"
    i=0
    for p in $patterns $patterns; do
        gen -f lavfi -i "$p=size=640x480:rate=25:duration=10" \
            -f lavfi -i "sine=frequency=$((300 + 100 * i)):sample_rate=44100:duration=10" \
            -ac 2 -c:v mpeg4 -q:v 3 -c:a libmp3lame -b:a 192k -shortest "$work/video/v$i.avi"
        i=$((i + 1))
    done
fi
has tiny && tones "$work/tiny" t 50 1 200 10

# Records the ffmpeg commands avcore.dll runs for one set (one job), and makes
# them write into the set's own folder for the direct runs.
cat > "$work/record-ffmpeg" <<'EOF'
#!/bin/sh
n=$(ls "$QV_BENCH_REC" | wc -l)
printf '%s\0' "$@" > "$QV_BENCH_REC/$(printf %04d "$n")"
exec ffmpeg "$@"
EOF
chmod +x "$work/record-ffmpeg"

# prepare SET FORMAT EXT: records the set's commands and writes the scripts
# of its timed runs (cli1, cli2, direct).
prepare() {
    set_=$1 format=$2 ext=$3
    s="$work/$set_"
    mkdir -p "$s.rec" "$s.out" "$s.direct"
    QV_BENCH_REC="$s.rec" QV_FFMPEG="$work/record-ffmpeg" \
        "$cli" -y -f "$format" -p Bench -o "$s.out" "$s"/*."$ext" > /dev/null 2>&1 ||
        { echo "quorvex-cli failed on the $set_ set" >&2; exit 1; }
    for r in "$s.rec"/*; do
        tr '\0' '\n' < "$r" | sed "s|$s.out/|$s.direct/|" | tr '\n' '\0' > "$r.direct"
        rm "$r"
    done
    files=$(ls "$s"/*."$ext" | wc -l)
    runs=$(ls "$s.rec"/*.direct | wc -l)
    if [ "$files" -ne "$runs" ]; then
        echo "note: the $set_ set's $files files took $runs ffmpeg runs; the direct loop repeats them all" >&2
    fi
    # The direct loop runs each recorded command from the shell itself, one
    # process per file as quorvex-cli's encoder starts it (the bench's names
    # hold no newline; single quotes are escaped).
    printf 'rm -rf "%s"; mkdir "%s"\n' "$s.direct" "$s.direct" > "$s.direct.sh"
    for r in "$s.rec"/*.direct; do
        printf 'ffmpeg'
        tr '\0' '\n' < "$r" | sed "s/'/'\\\\''/g; s/^/ '/; s/\$/'/" | tr -d '\n'
        # avcore.dll reads ffmpeg's progress on descriptor 3; here nobody does.
        printf ' 3>/dev/null > /dev/null 2>&1 || exit 1\n'
    done >> "$s.direct.sh"
    # The same commands two at a time (odd and even files in two shells): what
    # this machine gives two ffmpeg runs side by side, the bound for -j 2.
    sed -n '2~2p' "$s.direct.sh" > "$s.half1.sh"
    sed -n '3~2p' "$s.direct.sh" > "$s.half2.sh"
    cat > "$s.direct2.sh" <<EOF
rm -rf "$s.direct"; mkdir "$s.direct"
sh "$s.half1.sh" & a=\$!
sh "$s.half2.sh" & b=\$!
wait \$a && wait \$b
EOF
    # The exact ffmpeg command of the set's first file.
    printf '%s: ' "$set_" > "$s.example"
    sed -n 2p "$s.direct.sh" | sed 's/ 3>.*//' >> "$s.example"
    jobs1=""
    [ "$hasJobs" = 1 ] && jobs1="-j 1"
    cat > "$s.cli1.sh" <<EOF
rm -rf "$s.out"; mkdir "$s.out"
exec "$cli" $jobs1 -y -f $format -p Bench -o "$s.out" "$s"/*.$ext > /dev/null 2>&1
EOF
    cat > "$s.cli2.sh" <<EOF
rm -rf "$s.out"; mkdir "$s.out"
exec "$cli" -j 2 -y -f $format -p Bench -o "$s.out" "$s"/*.$ext > /dev/null 2>&1
EOF
}

now() { date +%s.%N; }
# timed SET WAY: appends the wall seconds of one run to SET.WAY.times.
timed() {
    t0=$(now)
    sh "$work/$1.$2.sh" || { echo "the $2 run of the $1 set failed" >&2; exit 1; }
    t1=$(now)
    awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f\n", b - a }' >> "$work/$1.$2.times"
}
median() { sort -n "$1" | awk '{v[NR]=$1} END {if (NR % 2) print v[(NR+1)/2]; else print (v[NR/2]+v[NR/2+1])/2}'; }
ratio() { awk -v a="$1" -v d="$2" 'BEGIN { printf "%.3f", a / d }'; }
# roundRatio A B: the median of the ratios A/B of the runs of each round.
roundRatio() {
    paste "$1" "$2" | awk '{ printf "%.4f\n", $1 / $2 }' > "$work/ratios"
    printf '%.3f' "$(median "$work/ratios")"
}

# run SET ROUNDS WAYS...: the interleaved timed runs.
run() {
    set_=$1 n=$2
    shift 2
    for w in "$@"; do : > "$work/$set_.$w.times"; done
    k=0
    while [ "$k" -lt "$n" ]; do
        for w in "$@"; do timed "$set_" "$w"; done
        k=$((k + 1))
    done
}

# report SET TITLE WAYS...
report() {
    set_=$1 title=$2
    shift 2
    printf '\n%s\n' "$title"
    cat "$work/$set_.example"
    for w in "$@"; do
        case $w in
            cli1) name="quorvex-cli -j 1" ;;
            cli2) name="quorvex-cli -j 2" ;;
            direct) name="direct ffmpeg" ;;
            direct2) name="direct, 2 at once" ;;
        esac
        printf '  %-17s wall median %7.3f s   [%s]\n' "$name" "$(median "$work/$set_.$w.times")" \
            "$(tr '\n' ' ' < "$work/$set_.$w.times")"
    done
    j1=$(median "$work/$set_.cli1.times")
    d=$(median "$work/$set_.direct.times")
    if [ -f "$work/$set_.cli2.times" ]; then
        printf '  ratio -j2/-j1: %s (median of the rounds'"'"' ratios: %s)\n' \
            "$(ratio "$(median "$work/$set_.cli2.times")" "$j1")" \
            "$(roundRatio "$work/$set_.cli2.times" "$work/$set_.cli1.times")"
        printf '  ratio direct 2 at once/direct: %s (what this machine gives two runs side by side; rounds: %s)\n' \
            "$(ratio "$(median "$work/$set_.direct2.times")" "$d")" \
            "$(roundRatio "$work/$set_.direct2.times" "$work/$set_.direct.times")"
    elif [ "$set_" != tiny ]; then
        printf '  ratio -j2/-j1: skipped (this quorvex-cli has no -j)\n'
    fi
    printf '  ratio -j1/direct: %s (median of the rounds'"'"' ratios: %s)\n' "$(ratio "$j1" "$d")" \
        "$(roundRatio "$work/$set_.cli1.times" "$work/$set_.direct.times")"
}

has audio && prepare audio mp3 wav
has video && prepare video avi avi
has tiny && prepare tiny mp3 wav

if [ "$hasJobs" = 1 ]; then
    ways="cli1 cli2 direct direct2"
else
    ways="cli1 direct"
fi
has audio && run audio "$rounds" $ways
has video && run video "$rounds" $ways
has tiny && run tiny "$tinyRounds" cli1 direct

has audio && report audio "audio: 16 WAV files of 10 s -> MP3 (128 kbit/s), $rounds rounds" $ways
has video && report video "video: 8 clips of 10 s, 640x480 25 fps -> AVI (XviD 1080 kbit/s, MP3), $rounds rounds" $ways
has tiny && report tiny "tiny: 50 WAV files of 1 s -> MP3 (128 kbit/s), $tinyRounds rounds" cli1 direct
printf '\ncores: %s; load average after: %s\n' "$(nproc)" "$(cut -d' ' -f1-3 /proc/loadavg)"
