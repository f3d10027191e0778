#!/usr/bin/env bash
# Runs the 64-bit Windows build (build-windows/x86_64) under Wine and checks it against the
# Linux build (build/stage by default): the library's own tests, then brindlecot-cli.exe
# command by command against brindlecot-cli (same status, same messages in the console's
# code page, same output bytes), and files sealed on one system opened on the other.
# This kernel runs no 32-bit programs: the i686 build is only built and inspected.
# Usage: test_windows.sh [LINUX_STAGE]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
linux_stage=${1:-$root/build/stage}
build=$root/build-windows/x86_64
wine=$(command -v wine64 || true)
[[ -n "$wine" ]] || wine=/usr/lib/wine/wine64
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver64)

# Console programs only, nothing that needs a display; the prefix lives in the build folder.
unset DISPLAY WAYLAND_DISPLAY
export WINEPREFIX=$build/wine-prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap '"$wineserver" -k >/dev/null 2>&1 || true' EXIT

# A clerk's Windows in simplified Chinese: ANSI and console code page 936. Wine takes its
# code pages from the Unix locale, built here so the machine's locales stay untouched.
locales=$build/locale
if [[ ! -d "$locales/zh_CN.UTF-8" ]]; then
  mkdir -p "$locales"
  localedef -i zh_CN -f UTF-8 "$locales/zh_CN.UTF-8" >/dev/null 2>&1 || true
  [[ -d "$locales/zh_CN.UTF-8" ]] || { echo "test_windows: cannot build the zh_CN.UTF-8 locale (package locales)" >&2; exit 1; }
fi
on_windows() { LOCPATH=$locales LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 timeout 300 "$wine" "$@"; }
if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
  on_windows wineboot -i >/dev/null 2>&1
fi

passed=0
failed=0
check() {  # check NAME COMMAND...: one counted check
  local name=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAIL: $name" >&2
  fi
}

# --- what the binaries of both targets export and import ---------------------------------
# Exactly the seven services by name at ordinals 1 to 7, and no DLL beyond the system's.
system_dlls='^(kernel32|msvcrt|bcrypt|advapi32)\.dll$'
expected_exports=$'1 CryptFile\n2 CryptKey\n3 CryptLmkMac\n4 DesCrypt1\n5 DesCrypt2\n6 MACCrypt\n7 MD5Crypt'
exports_of() {  # "ordinal name" per export, from objdump's name table and ordinal base
  "$1" -p "$2" | awk '
    /Ordinal Base/ { base = $NF }
    /\[Ordinal\/Name Pointer\] Table/ { table = 1; next }
    table && /^\t\[/ { gsub(/[\[\]]/, ""); print $1 + base, $2; next }
    table && !/^\t\[/ { table = 0 }'
}
only_system_imports() {
  local unexpected
  unexpected=$("$1" -p "$2" | awk '/DLL Name:/ { print tolower($3) }' | grep -Ev "$system_dlls" || true)
  [[ -z "$unexpected" ]] || { echo "$2 imports: $unexpected" >&2; false; }
}
for target in x86_64 i686; do
  objdump=$target-w64-mingw32-objdump
  stage=$root/build-windows/$target/stage
  check "$target: DLL exports" test "$(exports_of "$objdump" "$stage/driver/Kestrelvane.dll")" = "$expected_exports"
  check "$target: DLL imports" only_system_imports "$objdump" "$stage/driver/Kestrelvane.dll"
  check "$target: CLI imports" only_system_imports "$objdump" "$stage/brindlecot-cli.exe"
done

# --- the library's known answers and its exports, inside Windows -------------------------
lmk_mac=$(python3 - "$linux_stage/driver/libKestrelvane.so" <<'PY' | tail -n 1
import ctypes, sys
library = ctypes.CDLL(sys.argv[1])
out = ctypes.create_string_buffer(8)
length = ctypes.c_int32(8)
assert library.CryptLmkMac(out, ctypes.byref(length)) == 0
sys.stdout.flush()
print(out.raw.hex())
PY
)
unit_log=$build/windows-tests.log
if KESTRELVANE_LINUX_LMK_MAC=$lmk_mac on_windows "$build/tests/windows/kestrelvane_windows_tests.exe" >"$unit_log" 2>&1; then
  passed=$((passed + 1))
else
  failed=$((failed + 1))
  cat "$unit_log" >&2
  echo "FAIL: kestrelvane_windows_tests.exe" >&2
fi
grep -a -E '^\[==========\] [0-9]+ tests' "$unit_log" | tr -d '\r' | sed 's/^/kestrelvane_windows_tests: /'

# --- brindlecot-cli.exe against brindlecot-cli -------------------------------------------
work=$build/wine-test
rm -rf "$work"
mkdir -p "$work/lin/driver" "$work/win/driver" "$work/lin-work" "$work/win-work"
cp "$linux_stage/brindlecot-cli" "$work/lin/"
cp "$linux_stage/driver/libKestrelvane.so" "$work/lin/driver/"
cp "$build/stage/brindlecot-cli.exe" "$work/win/"
cp "$build/stage/driver/Kestrelvane.dll" "$work/win/driver/"
for side in lin win; do
  cp -r "$root/dist/conf" "$root/dist/language" "$work/$side/"
done

# run_cli SIDE NAME ARGS...: runs in SIDE-work; status, stdout and stderr land in
# $work/SIDE-NAME.{status,out,err}, the Windows texts turned into UTF-8 with LF line ends.
run_cli() {
  local side=$1 name=$2
  shift 2
  local status=0
  if [[ $side == lin ]]; then
    (cd "$work/lin-work" && timeout 300 ../lin/brindlecot-cli "$@") \
      >"$work/$side-$name.out" 2>"$work/$side-$name.err" || status=$?
  else
    (cd "$work/win-work" && on_windows ../win/brindlecot-cli.exe "$@") \
      >"$work/$side-$name.raw-out" 2>"$work/$side-$name.raw-err" || status=$?
    for stream in out err; do
      iconv -f GBK -t UTF-8 <"$work/$side-$name.raw-$stream" | sed 's/\r$//' \
        >"$work/$side-$name.$stream"
    done
  fi
  echo "$status" >"$work/$side-$name.status"
}
same_files() { cmp -s "$1" "$2" || { diff "$1" "$2" | head -5 >&2; false; }; }
# both NAME ARGS...: the same command on both systems, compared.
both() {
  local name=$1
  shift
  run_cli lin "$name" "$@"
  run_cli win "$name" "$@"
  for part in status out err; do
    check "$name: same $part" same_files "$work/lin-$name.$part" "$work/win-$name.$part"
  done
}

both help --help
both list list
check "list names the shipped templates" test "$(wc -l <"$work/lin-list.out")" -ge 3
index=0
while IFS= read -r template; do
  index=$((index + 1))
  both "check-$index" check "$template"
done <"$work/lin-list.out"

payroll=代发工资  # workbook in, sealed fixed-width batch out
claims=费用报销汇总  # workbook in, workbook out
transfer=批量转账  # separated text in and out

# A key whose check digit is wrong, then the right one (found with the Linux program).
both wrong-key install-key 12345670
key=
for digit in 0 1 2 3 4 5 6 7 8 9 A B C D E F; do
  if (cd "$work/lin-work" && ../lin/brindlecot-cli install-key "3a5c0f1$digit") >/dev/null 2>&1; then
    key=3a5c0f1$digit
    break
  fi
done
check "a valid key was found" test -n "$key"
rm -f "$work/lin/keyConf"  # the search installed it; both sides now install it afresh
both install-key install-key "$key"
check "keyConf beside the executable, same bytes" same_files "$work/lin/keyConf" "$work/win/keyConf"

# Text batch to text batch.
for side in lin win; do
  printf '6222000011112222|\xd5\xc5\xc8\xfd|100.5|\xb9\xa4\xc9\xcc\xd2\xf8\xd0\xd0|\xb9\xa4\xd7\xca\n6222000011113333|\xc0\xee\xcb\xc4|2000|\xbd\xa8\xc9\xe8\xd2\xf8\xd0\xd0|\n' \
    >"$work/$side-work/transfer.txt"
  cp "$root/tests/windows/samples/"*.xls "$work/$side-work/"
done
both export-text export "$transfer" transfer.txt transfer-out.txt
check "export-text: same batch" same_files "$work/lin-work/transfer-out.txt" "$work/win-work/transfer-out.txt"
both export-again export "$transfer" transfer.txt transfer-out.txt
both export-force --force export "$transfer" transfer.txt transfer-out.txt

# Workbook to sealed fixed-width batch: sealing is random, so each side opens both files.
both export-sealed export "$payroll" payroll.xls payroll
for from in lin win; do
  for side in lin win; do
    cp "$work/$from-work/payroll.txt" "$work/$side-work/payroll-$from.sealed"
  done
  both "open-payroll-$from" open "payroll-$from.sealed" "payroll-$from.txt"
  check "payroll sealed on $from opens to the same batch" \
    same_files "$work/lin-work/payroll-$from.txt" "$work/win-work/payroll-$from.txt"
done

# Workbook to workbook.
both export-xls export "$claims" claims.xls claims-out.xls
check "export-xls: same workbook" same_files "$work/lin-work/claims-out.xls" "$work/win-work/claims-out.xls"

# .xlsx is refused on Windows with a message saying what to use.
run_cli win xlsx export "$claims" claims.xls claims-out.xlsx
check "xlsx refused" test "$(cat "$work/win-xlsx.status")" = 1
check "xlsx refusal names .xls" grep -q 'save the workbook as .xls' "$work/win-xlsx.err"

# --- sealing across the systems --------------------------------------------------------
for size in 0 1 7 8 9 1000003; do
  head -c "$size" /dev/urandom >"$work/plain-$size"
  cp "$work/plain-$size" "$work/win-work/plain-$size"
  cp "$work/plain-$size" "$work/lin-work/plain-$size"
  run_cli win "seal-$size" seal "plain-$size" "sealed-$size"
  cp "$work/win-work/sealed-$size" "$work/lin-work/from-windows-$size"
  run_cli lin "open-$size" open "from-windows-$size" "opened-$size"
  check "$size bytes sealed on Windows open on Linux" same_files "$work/plain-$size" "$work/lin-work/opened-$size"
  run_cli lin "seal-$size" seal "plain-$size" "sealed-$size"
  cp "$work/lin-work/sealed-$size" "$work/win-work/from-linux-$size"
  run_cli win "open-$size" open "from-linux-$size" "opened-$size"
  check "$size bytes sealed on Linux open on Windows" same_files "$work/plain-$size" "$work/win-work/opened-$size"
done

# Names in Chinese reach the library in the ANSI code page; a name that code page cannot
# hold is refused with a message.
chinese=$(printf '\xe6\x89\xb9\xe9\x87\x8f.txt')
cp "$work/plain-9" "$work/win-work/$chinese"
run_cli win chinese-name seal "$chinese" "$chinese.sealed"
check "a Chinese file name seals" test -s "$work/win-work/$chinese.sealed"
run_cli win unrepresentable-name seal "$(printf '\xd8\xb3.txt')" out.sealed
check "a name outside the code page gives status 2" test "$(cat "$work/win-unrepresentable-name.status")" = 2
check "a name outside the code page is named" grep -q 'ANSI code page' "$work/win-unrepresentable-name.err"

echo "Windows checks under Wine: $passed passed, $failed failed"
((failed == 0))
