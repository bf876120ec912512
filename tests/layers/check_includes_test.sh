#!/bin/bash
# The layer check itself: a small source tree in a temporary folder, first
# clean, then with one planted include of each kind the check must refuse.
#
#   check_includes_test.sh <check_includes.sh>

set -u
check=${1:?usage: check_includes_test.sh <check_includes.sh>}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail()
{
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# A clean tree: every layer includes itself and the layers below. It is
# made once and copied for each case.
mkdir -p "$work"/clean/{platform,app,lang,profiles,cmdline,engine,cli,ui,encoder}
for layer in "$work"/clean/*; do
    printf '#pragma once\n' >"$layer/Thing.h"
done
printf '#include "platform/Thing.h"\n#include <vector>\n' >"$work/clean/app/Thing.cpp"
printf '#include "app/Thing.h"\n#include "platform/Thing.h"\n' >"$work/clean/lang/Thing.cpp"
printf '#include "engine/Thing.h"\n#include "lang/Thing.h"\n' >"$work/clean/ui/Thing.cpp"
printf '#include "Thing.h"\n#include "engine/Thing.h"\n' >"$work/clean/cli/Thing.cpp"
printf '#include "app/Thing.h"\n' >"$work/clean/encoder/Thing.cpp"

make_tree()
{
    rm -rf "$work/src"
    cp -r "$work/clean" "$work/src"
}

# plant <file below src> <line>: the check must fail and name that line.
expect_refused()
{
    make_tree
    mkdir -p "$(dirname "$work/src/$1")"
    printf '// planted\n%s\n' "$2" >>"$work/src/$1"
    local out
    if out=$("$check" "$work/src" 2>&1); then
        fail "$1 with $2 passed the check"
    elif ! grep -qF "src/$1:" <<<"$out" || ! grep -qF "$2" <<<"$out"; then
        fail "$1 with $2: the report does not name the line: $out"
    fi
}

make_tree
out=$("$check" "$work/src" 2>&1) || fail "the clean tree was refused: $out"

expect_refused platform/Thing.cpp '#include "app/Thing.h"'
expect_refused app/Thing.h '#include "lang/Thing.h"'
expect_refused lang/Thing.cpp '  #  include "profiles/Thing.h"'
expect_refused engine/Thing.cpp '#include "ui/Thing.h"'
expect_refused cli/Thing.cpp '#include "ui/Thing.h"'
expect_refused ui/deep/Thing.cpp '#include "cli/Thing.h"'
expect_refused encoder/Thing.cpp '#include "engine/Thing.h"'
expect_refused profiles/Thing.def '#include "cmdline/Thing.h"'

# A folder the layer order does not know is refused too.
make_tree
mkdir -p "$work/src/extra"
"$check" "$work/src" >/dev/null 2>&1 && fail "an unknown folder passed the check"

if [ "$failures" -ne 0 ]; then
    echo "$failures case(s) failed"
    exit 1
fi
echo "layer check: all cases behave"
