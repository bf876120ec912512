#!/bin/bash
# Fails when a source file includes a header of a layer above its own.
#
#   check_includes.sh <src folder>
#
# Every folder directly under <src folder> is a layer; the table below says
# which layers each may include (its own among them), lowest first:
#   platform < app < lang < profiles < cmdline < engine < cli, ui
# The encoder program stands apart: it uses the platform and the header-only
# parts of app, and links qv_platform alone.
# Only #include "..." lines are read; <...> names system and Qt headers. A
# name without a folder is the including file's own folder. Every offending
# line is printed as file:line: text, and the exit status is 1.

set -u

declare -A allowed=(
    [platform]="platform"
    [app]="platform app"
    [lang]="platform app lang"
    [profiles]="platform app lang profiles"
    [cmdline]="platform app lang profiles cmdline"
    [engine]="platform app lang profiles cmdline engine"
    [cli]="platform app lang profiles cmdline engine cli"
    [ui]="platform app lang profiles cmdline engine ui"
    [encoder]="platform app encoder"
)

src=${1:?usage: check_includes.sh <src folder>}
if [ ! -d "$src" ]; then
    echo "check_includes.sh: $src is not a folder" >&2
    exit 2
fi

status=0
for dir in "$src"/*/; do
    layer=$(basename "$dir")
    if [ -z "${allowed[$layer]+set}" ]; then
        echo "$src/$layer: a folder with no place in the layer order (add it to ${0##*/})"
        status=1
        continue
    fi
    grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$dir" \
        --include='*.h' --include='*.hpp' --include='*.cpp' --include='*.def' --include='*.inc' |
        awk -v layer="$layer" -v allowed=" ${allowed[$layer]} " '
            # Each line: file:line:text
            match($0, /#[ \t]*include[ \t]*"[^"]*"/) {
                name = substr($0, RSTART, RLENGTH)
                sub(/^#[ \t]*include[ \t]*"/, "", name)
                sub(/"$/, "", name)
                slash = index(name, "/")
                if (slash == 0)
                    next # beside the including file
                if (index(allowed, " " substr(name, 1, slash - 1) " ") == 0) {
                    print $0
                    print "    " layer " may include only:" substr(allowed, 1, length(allowed) - 1)
                    bad = 1
                }
            }
            END { exit bad }' || status=1
done

if [ "$status" -ne 0 ]; then
    echo "Includes reach upward; the layer order is platform < app < lang < profiles < cmdline < engine < cli, ui"
fi
exit "$status"
