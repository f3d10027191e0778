#!/usr/bin/env bash
# Builds the Debian package from a built tree and checks it as Debian's tools and a new
# user would: lintian without errors, the layout, the metadata, the manual page; then,
# as root on a machine without the package, an upgrade from the 0.1.0 layout in
# /opt/brindlecot, and removal leaving nothing but a key someone installed.
# Usage: check_deb.sh BUILD_DIR
set -euo pipefail
build=$1
scratch=$(mktemp -d)
installed=
cleanup() {
  if [[ -n "$installed" ]]; then
    apt-get -o DPkg::Lock::Timeout=300 purge -y -q brindlecot >/dev/null 2>&1 || true
    rm -rf /usr/lib/brindlecot /opt/brindlecot
  fi
  rm -rf "$scratch"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$scratch" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >/dev/null) ||
  fail "cpack could not build the package"
deb=$(ls "$scratch"/out/brindlecot_*_amd64.deb)

# lintian takes the longest: report its time so that a slow one is noticed.
start=$SECONDS
lintian --fail-on error --display-level '>=warning' "$deb" >"$scratch/lintian.txt" 2>&1 ||
  { cat "$scratch/lintian.txt" >&2; fail "lintian reports errors"; }
echo "lintian (${SECONDS}s after start):"; sed 's/^/  /' "$scratch/lintian.txt"
! grep -q '^E:' "$scratch/lintian.txt" || fail "lintian reports errors"

dpkg-deb -c "$deb" | awk '{ print $6 ($7 == "->" ? " -> " $8 : "") }' >"$scratch/contents.txt"
for path in ./usr/lib/brindlecot/Brindlecot ./usr/lib/brindlecot/brindlecot-cli \
            ./usr/lib/brindlecot/driver/libKestrelvane.so ./usr/lib/brindlecot/conf/filecrypt.config \
            ./usr/lib/brindlecot/language/msgSimChi.ini ./usr/lib/brindlecot/language/msgTraChi.ini \
            ./usr/share/doc/brindlecot/copyright ./usr/share/doc/brindlecot/changelog.gz \
            ./usr/share/man/man1/brindlecot-cli.1.gz ./usr/share/man/man1/brindlecot.1.gz \
            ./usr/share/applications/org.brindlecot.brindlecot.desktop \
            ./usr/share/metainfo/org.brindlecot.brindlecot.metainfo.xml \
            "./usr/bin/brindlecot -> ../lib/brindlecot/Brindlecot" \
            "./usr/bin/brindlecot-cli -> ../lib/brindlecot/brindlecot-cli"; do
  grep -qxF "$path" "$scratch/contents.txt" || fail "the package lacks $path"
done
! grep -q '^\./opt' "$scratch/contents.txt" || fail "the package still installs into /opt"
dpkg-deb -f "$deb" Depends | grep -q 'qt6-wayland' || fail "qt6-wayland is not a dependency"
dpkg-deb -x "$deb" "$scratch/root"
grep -qxF 'Exec="/usr/lib/brindlecot/Brindlecot"' \
  "$scratch/root/usr/share/applications/org.brindlecot.brindlecot.desktop" || fail "the menu entry names another program"

if [[ $(id -u) -ne 0 ]] || dpkg-query -W -f='${Status}' brindlecot 2>/dev/null | grep -q installed ||
   [[ -e /opt/brindlecot || -e /usr/lib/brindlecot ]]; then
  echo "package built and checked; installation not tried (needs root and no brindlecot installed)"
  exit 0
fi

# The 0.1.0 package's layout, as far as an upgrade sees it: its files in /opt/brindlecot,
# a link on the PATH, and a key that someone installed while running it as root.
old="$scratch/old"
mkdir -p "$old/DEBIAN" "$old/opt/brindlecot/driver" "$old/usr/bin"
cp "$scratch/root/usr/lib/brindlecot/Brindlecot" "$scratch/root/usr/lib/brindlecot/brindlecot-cli" "$old/opt/brindlecot/"
cp "$scratch/root/usr/lib/brindlecot/driver/libKestrelvane.so" "$old/opt/brindlecot/driver/"
ln -s /opt/brindlecot/brindlecot-cli "$old/usr/bin/brindlecot-cli"
printf 'Package: brindlecot\nVersion: 0.1.0\nArchitecture: amd64\nMaintainer: x <x@example.org>\nDescription: old layout\n' \
  >"$old/DEBIAN/control"
dpkg-deb --root-owner-group -b "$old" "$scratch/old.deb" >/dev/null
apt_get=(apt-get -o DPkg::Lock::Timeout=300 -y -q)
installed=yes
"${apt_get[@]}" install "$scratch/old.deb" >/dev/null 2>&1 || fail "the 0.1.0 layout does not install"
printf 'root-key' >/opt/brindlecot/keyConf
"${apt_get[@]}" install "$deb" >"$scratch/apt.txt" 2>&1 || { cat "$scratch/apt.txt" >&2; fail "the upgrade failed"; }
[[ ! -e /opt/brindlecot ]] || fail "the upgrade left /opt/brindlecot: $(ls -A /opt/brindlecot)"
[[ $(cat /usr/lib/brindlecot/keyConf) == root-key ]] || fail "the key installed under /opt was lost"
[[ $(readlink -f /usr/bin/brindlecot-cli) == /usr/lib/brindlecot/brindlecot-cli ]] || fail "brindlecot-cli is not on the PATH"
brindlecot-cli list | grep -q . || fail "the installed brindlecot-cli lists no template"
LC_ALL=C man -w brindlecot-cli >/dev/null 2>&1 || fail "man does not find brindlecot-cli"

"${apt_get[@]}" remove brindlecot >/dev/null 2>&1 || fail "apt-get remove failed"
left=$(find /usr/lib/brindlecot /usr/share/doc/brindlecot /usr/share/metainfo/org.brindlecot.brindlecot.metainfo.xml \
            /usr/share/applications/org.brindlecot.brindlecot.desktop /usr/share/man/man1/brindlecot-cli.1.gz /usr/share/man/man1/brindlecot.1.gz \
            /usr/bin/brindlecot /usr/bin/brindlecot-cli /opt/brindlecot 2>/dev/null || true)
[[ "$left" == $'/usr/lib/brindlecot\n/usr/lib/brindlecot/keyConf' ]] ||
  fail "removal left more than the installed key: $left"
echo "package: lintian clean, upgrade from /opt kept the key, removal left only the key"
