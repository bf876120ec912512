#!/usr/bin/env bash
# Builds the Debian package into a temporary folder and checks its control
# fields and contents.
# Usage: deb_test.sh BUILD_DIR
set -uo pipefail
BUILD=$1
T=$(mktemp -d "${TMPDIR:-/tmp}/quorvex-deb-XXXXXX")
trap 'rm -rf "$T"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

(cd "$T" && cpack -G DEB -B "$T" --config "$BUILD/CPackConfig.cmake") >"$T/cpack.log" 2>&1 || { cat "$T/cpack.log"; echo "FAIL: cpack"; exit 1; }
DEB=$(ls "$T"/quorvex_*.deb 2>/dev/null | head -1)
[ -n "$DEB" ] || { cat "$T/cpack.log"; echo "FAIL: no quorvex_*.deb made"; exit 1; }

field() { dpkg-deb -f "$DEB" "$1"; }
[ "$(field Package)" = quorvex ] || fail "Package: $(field Package)"
[ "$(field Section)" = video ] || fail "Section: $(field Section)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ -n "$(field Description)" ] || fail "no Description"
field Description | grep -q '^ *;' && fail "Description lines carry list separators: $(field Description)"
depends=$(field Depends)
for dep in ffmpeg libmediainfo0v5 libqt6widgets6 libqt6gui6 libqt6core6 libqt6network6 libsqlite3-0 qt6-qpa-plugins libopencore-amrnb0 libvo-amrwbenc0 libc6 libstdc++6; do
  # Whole package names only: libqt6core6 must not be satisfied by libqt6core6t64 or the like.
  echo "$depends" | tr ',' '\n' | sed 's/^ *//; s/ .*//' | grep -qx "$dep" || fail "Depends lacks $dep: $depends"
done
echo "$(field Recommends)" | grep -qw qt6-translations-l10n || fail "Recommends: $(field Recommends)"

dpkg-deb -c "$DEB" >"$T/contents" || fail "dpkg-deb -c"
has() { grep -qE "$1" "$T/contents" || fail "package lacks $1"; }
has ' \./usr/bin/quorvex -> \.\./lib/quorvex/quorvex$'
has ' \./usr/bin/quorvex-cli -> \.\./lib/quorvex/quorvex-cli$'
has '^-rwxr-xr-x .* \./usr/lib/quorvex/quorvex$'
has '^-rwxr-xr-x .* \./usr/lib/quorvex/avcore\.dll$'
has ' \./usr/lib/quorvex/installed$'
has ' \./usr/lib/quorvex/langs/English\.ini$'
has ' \./usr/lib/quorvex/shipped/English_Profile/avi/.*\.avo$'
has ' \./usr/share/applications/io\.github\.quorvex\.Quorvex\.desktop$'
has ' \./usr/share/metainfo/io\.github\.quorvex\.Quorvex\.metainfo\.xml$'
has ' \./usr/share/icons/hicolor/scalable/apps/io\.github\.quorvex\.Quorvex\.svg$'
has ' \./usr/share/man/man1/quorvex-cli\.1\.gz$'
has ' \./usr/share/doc/quorvex/copyright$'
has ' \./usr/share/doc/quorvex/changelog\.gz$'
grep -qE ' \./usr/lib/quorvex/(options|config)\.ini$' "$T/contents" && fail "package holds settings files"
grep -qE '/langs/English_Profile/.*\.avo$' "$T/contents" && fail "package holds the build folder's profile tree"
grep -qE ' \./usr/(lib/quorvex/)?(test_|qv_make_profiles)' "$T/contents" && fail "package holds build tools or tests"

# Licence: the machine-readable copyright file and the metainfo name the GPL,
# version 3 or later; no placeholder address is left.
dpkg-deb -x "$DEB" "$T/root" || fail "dpkg-deb -x"
C=$T/root/usr/share/doc/quorvex/copyright
head -1 "$C" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' || fail "copyright is not machine-readable"
grep -qx 'License: GPL-3+' "$C" || fail "copyright names no GPL-3+ licence"
grep -q '/usr/share/common-licenses/GPL-3' "$C" || fail "copyright does not point to the licence text"
M=$T/root/usr/share/metainfo/io.github.quorvex.Quorvex.metainfo.xml
grep -q '<project_license>GPL-3.0-or-later</project_license>' "$M" || fail "metainfo project_license"
grep -q '<url type="homepage">https://github.com/quorvex/quorvex</url>' "$M" || fail "metainfo homepage"
[ "$(field Homepage)" = https://github.com/quorvex/quorvex ] || fail "Homepage: $(field Homepage)"
grep -rlE 'example\.(com|org)|LicenseRef-proprietary' "$T/root/usr/share" && fail "placeholder left in the package"

# Hardening, as lintian wants it: full RELRO, immediate binding, the stack
# protector and fortified library calls in every program.
for prog in quorvex quorvex-cli avcore.dll; do
  # Read into files first: grep -q ending a pipe early would fail it (pipefail).
  f=$T/root/usr/lib/quorvex/$prog
  readelf -lW "$f" >"$T/segments" && readelf -dW "$f" >"$T/dynamic" && readelf --dyn-syms -W "$f" >"$T/syms" \
    || fail "$prog: readelf"
  grep -q GNU_RELRO "$T/segments" || fail "$prog: no RELRO"
  grep -qE 'BIND_NOW|FLAGS.*NOW' "$T/dynamic" || fail "$prog: not bound immediately (-z now)"
  grep -q '__stack_chk_fail' "$T/syms" || fail "$prog: no stack protector"
  grep -qE '__[a-z_]+_chk(@|$)' "$T/syms" || fail "$prog: no fortified calls"
done

[ "$failures" -eq 0 ] && echo "deb test passed: $(basename "$DEB")"
exit $((failures > 0))
