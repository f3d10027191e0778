#!/usr/bin/env bash
# Installs the build into a scratch prefix (with a blank in its name, as a clerk's folder
# may have) and checks what a desktop needs: the portable folder, the menu entry naming
# the installed program, and the icon in every size of the icon theme.
set -euo pipefail
build=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix="$scratch/Brindlecot Apps"
cmake --install "$build" --prefix "$prefix" >/dev/null

fail() { echo "FAIL: $*" >&2; exit 1; }
for file in Brindlecot brindlecot-cli driver/libKestrelvane.so language/config.ini \
            language/msgSimChi.ini language/msgTraChi.ini conf/filecrypt.config; do
  [[ -f "$prefix/$file" ]] || fail "$file is not installed"
done
entry="$prefix/share/applications/org.brindlecot.brindlecot.desktop"
[[ -f "$entry" ]] || fail "no menu entry"
grep -qxF "Exec=\"$prefix/Brindlecot\"" "$entry" || fail "Exec does not name $prefix/Brindlecot: $(grep ^Exec "$entry")"
grep -qxF "TryExec=$prefix/Brindlecot" "$entry" || fail "TryExec does not name the program"
grep -qxF "Icon=brindlecot" "$entry" || fail "no icon named"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$entry" || fail "the menu entry is not valid"
fi
for size in 16 32 48 64 128 256; do
  icon="$prefix/share/icons/hicolor/${size}x${size}/apps/brindlecot.png"
  [[ -f "$icon" ]] || fail "no ${size}x${size} icon"
  # Bytes 16-23 of a PNG hold its width and height.
  read -r width height < <(od -An -tu1 -j16 -N8 "$icon" |
    awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}')
  [[ "$width" == "$size" && "$height" == "$size" ]] || fail "the ${size}x${size} icon is ${width}x${height}"
done
[[ -f "$prefix/share/icons/hicolor/scalable/apps/brindlecot.svg" ]] || fail "no scalable icon"
metainfo="$prefix/share/metainfo/org.brindlecot.brindlecot.metainfo.xml"
[[ -f "$metainfo" ]] || fail "no AppStream metadata"
# Software centres join the metadata to the menu entry by its file name.
grep -qF "<launchable type=\"desktop-id\">$(basename "$entry")</launchable>" "$metainfo" ||
  fail "the metadata's launchable is not $(basename "$entry")"
appstreamcli validate --no-net --pedantic "$metainfo" >/dev/null || fail "the AppStream metadata is not valid"
echo "install layout: complete"
