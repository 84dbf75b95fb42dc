#!/bin/bash
# The installed program as a desktop sees it: a valid entry and metadata, the
# icon in the theme, and a program that starts from its installed path, with
# the window class its entry names, its window icon, and its texts in the
# user's language.
set -eu
build=$1
prefix=$TMPDIR/prefix
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
entry=$prefix/share/applications/org.drel.mail.desktop
desktop-file-validate "$entry" || fail "desktop entry"
appstreamcli validate --no-net "$prefix/share/metainfo/org.drel.mail.metainfo.xml" || fail "metadata"
grep -qx "Exec=$prefix/bin/drel-mail %u" "$entry" || fail "entry does not start the installed program"
for size in scalable/apps/drel-mail.svg 16x16 24x24 32x32 48x48 64x64 128x128 256x256; do
    [[ $size == *svg ]] || size=$size/apps/drel-mail.png
    [ -s "$prefix/share/icons/hicolor/$size" ] || fail "icon $size missing"
done

cd /   # nothing may be found relative to the build
export XDG_DATA_DIRS=$prefix/share:/usr/share
LANG=de_DE.UTF-8 LANGUAGE= LC_ALL= LC_MESSAGES= "$prefix/bin/drel-mail" &
pid=$!
trap 'kill $pid 2>/dev/null' EXIT
wmclass=$(grep -oP '^StartupWMClass=\K.*' "$entry")
for _ in $(seq 150); do
    window=$(xwininfo -root -tree | grep -F "(\"$wmclass\"" | grep -oP '^\s*\K0x[0-9a-f]+' | head -1 || true)
    [ -n "$window" ] && xprop -id "$window" WM_NAME | grep -q '"E-Mail"' && break
    window=
    sleep 0.2
done
[ -n "$window" ] || fail "no window of class $wmclass titled E-Mail"
xprop -id "$window" _NET_WM_ICON | grep -q 'Icon (' || fail "window has not the installed icon"
kill -0 $pid || fail "program ended"
echo PASS
