#!/usr/bin/env bash
# Installs every Debian package that building, running and testing need. Quick and
# silent when everything is already there, so the other scripts call it every time.
set -euo pipefail

PACKAGES=(
  cmake g++ make pkg-config clang-format clang libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools libqt6test6 libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libminizip-dev zlib1g-dev libexpat1-dev
  libfreexl-dev  # tests and benchmarks only: the oracle for our own .xls reader
  python3-openpyxl  # tests only: an independent reader of the .xlsx files we write
  fonts-wqy-zenhei fontconfig
  qt6-translations-l10n  # Qt's own dialogs and buttons in Chinese
  libssl-dev openssl
  xvfb xauth libxcb1-dev
  dpkg-dev desktop-file-utils
  lintian appstream help2man man-db  # the Debian package, its metadata and manual page
  weston qt6-wayland  # GUI tests as native Wayland clients of a headless weston
  at-spi2-core python3-pyatspi  # scripts/accessibility_check.sh
  # The Windows build and its tests under Wine (scripts/build_windows.sh, test_windows.sh);
  # locales: the zh_CN definitions that Wine's Chinese code pages are built from.
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine64 locales
)

missing=()
for package in "${PACKAGES[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
