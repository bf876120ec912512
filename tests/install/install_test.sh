#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks the layout, that the
# installed programs work with their settings in a temporary configuration
# folder, and that nothing under the prefix is written by them.
# Usage: install_test.sh BUILD_DIR
set -uo pipefail
BUILD=$1
ID=io.github.quorvex.Quorvex
T=$(mktemp -d "${TMPDIR:-/tmp}/quorvex-install-XXXXXX")
trap 'rm -rf "$T"' EXIT
P=$T/prefix
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
check() { local what=$1; shift; "$@" || fail "$what"; }

cmake --install "$BUILD" --prefix "$P" >"$T/install.log" 2>&1 || { cat "$T/install.log"; echo "FAIL: cmake --install"; exit 1; }

# ---- layout ----
A=$P/lib/quorvex
for f in "$A/quorvex" "$A/quorvex-cli" "$A/avcore.dll"; do
  check "$f is an executable" test -f "$f" -a -x "$f"
done
for f in installed langs/English.ini langs/English_Profile/DirectShow.avs langs/English_help.html skins/Splash.png; do
  check "$A/$f is a file" test -f "$A/$f"
done
check "shipped profiles installed" test -n "$(ls "$A"/shipped/English_Profile/avi/*.avo 2>/dev/null)"
for f in options.ini config.ini DirectShow.avs; do
  check "no $f in the program folder" test ! -e "$A/$f"
done
# The profiles the build folder's programs use are not installed, only the shipped copy.
check "no profile tree under langs/" test -z "$(find "$A/langs" -name '*.avo')"
for c in quorvex quorvex-cli; do
  check "bin/$c is a link into lib/quorvex" test -L "$P/bin/$c"
  check "bin/$c resolves to the program" test "$(readlink -f "$P/bin/$c")" = "$(readlink -f "$A/$c")"
done
for f in share/applications/$ID.desktop share/metainfo/$ID.metainfo.xml \
         share/icons/hicolor/scalable/apps/$ID.svg share/icons/hicolor/48x48/apps/$ID.png \
         share/icons/hicolor/128x128/apps/$ID.png share/icons/hicolor/256x256/apps/$ID.png \
         share/man/man1/quorvex.1.gz share/man/man1/quorvex-cli.1.gz share/man/man1/avcore.dll.1.gz; do
  check "$f installed" test -f "$P/$f"
done
for m in "$P"/share/man/man1/*.gz; do
  check "$m is valid gzip" gzip -t "$m"
done
check "desktop entry runs quorvex with files" grep -qx 'Exec=quorvex %F' "$P/share/applications/$ID.desktop"
check "metainfo names the desktop entry" grep -q "<launchable type=\"desktop-id\">$ID.desktop</launchable>" "$P/share/metainfo/$ID.metainfo.xml"

# ---- validators ----
if command -v desktop-file-validate >/dev/null; then
  check "desktop-file-validate" desktop-file-validate "$P/share/applications/$ID.desktop"
else
  fail "desktop-file-validate is not installed (scripts/install-deps.sh installs it)"
fi
if command -v appstreamcli >/dev/null; then
  check "appstreamcli validate" appstreamcli validate --no-net "$P/share/metainfo/$ID.metainfo.xml" >"$T/as.log" 2>&1 || cat "$T/as.log"
else
  fail "appstreamcli is not installed (scripts/install-deps.sh installs it)"
fi

# ---- checksums before running anything ----
tree_sums() { (cd "$P" && find . \( -type f -o -type l -o -type d \) -printf '%y %m %p %l\n' | sort && find . -type f -print0 | sort -z | xargs -0 sha256sum); }
tree_sums >"$T/before"

# ---- the installed programs, with a private home ----
export HOME=$T/home XDG_CONFIG_HOME=$T/home/cfg
mkdir -p "$HOME" "$T/media dir" "$T/out"
CFG=$XDG_CONFIG_HOME/quorvex
CLIP="$T/media dir/clip é.avi"
ffmpeg -v error -nostdin -f lavfi -i testsrc=size=160x120:rate=10 -f lavfi -i sine=frequency=440 \
  -t 1 -shortest -c:v mpeg4 -c:a mp3 -y "$CLIP" || { echo "FAIL: ffmpeg could not make a clip"; exit 1; }
cp "$CLIP" "$T/second.avi"
echo text >"$T/notes.txt"

(cd "$T" && "$P/bin/quorvex-cli" -f mp4 -y -o "$T/out" "$CLIP") >"$T/cli.log" 2>&1
rc=$?
check "installed quorvex-cli converts (rc $rc)" test "$rc" -eq 0
check "output written" test -s "$T/out/clip é.mp4"
[ "$rc" -eq 0 ] || cat "$T/cli.log"

check "options.ini in the config folder" test -f "$CFG/options.ini"
check "profiles copied into the config folder" test -n "$(ls "$CFG"/English_Profile/mp4/*.mpo 2>/dev/null)"
check "shipped profiles recorded" test -s "$CFG/English_Profile/.shipped-profiles"

# quorvex FILE... adds the files as the open dialog does: accepted media files,
# file:// addresses; a text file, a folder and a missing file are left out.
out=$(cd "$T" && timeout 60 "$P/bin/quorvex" --list-and-exit "$CLIP" "file://$T/second.avi" notes.txt "$T/media dir" missing.avi 2>"$T/gui.err")
rc=$?
expected=$(printf '%s\n%s' "$CLIP" "$T/second.avi")
check "quorvex lists the files (rc $rc)" test "$rc" -eq 0 -a "$out" = "$expected"
[ "$out" = "$expected" ] || { echo "got:"; echo "$out"; cat "$T/gui.err"; }

out=$("$P/bin/quorvex" --no-such-option 2>"$T/usage.err")
rc=$?
check "unknown option refused with 2 (rc $rc)" test "$rc" -eq 2 -a -z "$out"
check "unknown option named on stderr" grep -q -- "--no-such-option" "$T/usage.err"
check "quorvex --help prints usage" sh -c "\"$P/bin/quorvex\" --help | grep -q '^Usage: quorvex'"

# A language switch stored by an earlier run is read from the config folder.
check "config.ini never appears in the program folder" test ! -e "$A/config.ini"

# Default folder when XDG_CONFIG_HOME is unset.
(unset XDG_CONFIG_HOME; cd "$T" && "$P/bin/quorvex-cli" -f mp3 --list-profiles >/dev/null 2>&1)
check "~/.config/quorvex used when XDG_CONFIG_HOME is unset" test -f "$HOME/.config/quorvex/options.ini"

# ---- nothing under the prefix changed ----
tree_sums >"$T/after"
if ! cmp -s "$T/before" "$T/after"; then
  fail "the installed tree changed"
  diff "$T/before" "$T/after" | head -20
fi

[ "$failures" -eq 0 ] && echo "install test passed"
exit $((failures > 0))
