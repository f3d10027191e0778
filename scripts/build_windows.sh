#!/usr/bin/env bash
# Cross-builds Kestrelvane.dll and brindlecot-cli.exe for 64- and 32-bit Windows with
# mingw-w64: build-windows/<target>/stage/ holds brindlecot-cli.exe, driver/, conf/ and
# language/ as the Linux stage does. Usage: build_windows.sh [x86_64|i686 ...] (both when
# none is named). Set BRINDLECOT_NO_SETUP=1 to skip installing packages.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[[ "${BRINDLECOT_NO_SETUP:-}" == 1 ]] || "$root/scripts/setup.sh"
targets=("$@")
((${#targets[@]})) || targets=(x86_64 i686)
jobs=$(nproc)
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="$root"
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
version=$(sed -n 's/^project(Brindlecot VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
for target in "${targets[@]}"; do
  build="$root/build-windows/$target"
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$target-w64-mingw32.cmake" \
    "${launcher[@]}" >/dev/null
  cmake --build "$build" -j "$jobs"

  # The zip: the stage's layout in one folder, and a README.txt in the catalogue's
  # language and encoding (GBK, CR LF), as Notepad on a Chinese Windows reads it.
  bits=$([[ $target == x86_64 ]] && echo 64 || echo 32)
  name=brindlecot-cli-$version-win$bits
  package="$build/package/$name"
  rm -rf "$build/package"
  mkdir -p "$package/driver"
  cp "$build/stage/brindlecot-cli.exe" "$package/"
  cp "$build/stage/driver/Kestrelvane.dll" "$package/driver/"
  cp -r "$root/dist/conf" "$root/dist/language" "$package/"
  iconv -f UTF-8 -t GBK "$root/packaging/windows/README.txt" | sed 's/$/\r/' >"$package/README.txt"
  (cd "$build/package" && cmake -E tar cf "$root/build-windows/$name.zip" --format=zip "$name")
  echo "build-windows/$name.zip"
done
