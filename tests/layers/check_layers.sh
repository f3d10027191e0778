#!/usr/bin/env bash
# Usage: check_layers.sh COMPILER LAYERS_FILE
# Each line of LAYERS_FILE: TARGET FOLDER MAY_USE(comma-separated) INCLUDE_DIRS_FILE.
# Compiles a probe header of every folder against each target's include path: a folder
# the layer may use must compile, any other must fail. Either surprise fails the test.
set -uo pipefail
compiler=$1
layers=$2

# One self-contained header per folder; "Qt" stands for the Qt headers themselves.
declare -A probe=(
  [cryptlib]=cryptlib/include/kestrelvane.h
  [cryptlib/des]=cryptlib/des/des.h
  [cryptlib/wipe]=cryptlib/wipe/secure_wipe.h
  [cryptlib/md5]=cryptlib/md5/md5.h
  [cryptlib/base64]=cryptlib/base64/base64.h
  [cryptlib/config]=cryptlib/config/config.h
  [cryptlib/kestrelcore]=cryptlib/kestrelcore/master_key.h
  [base]=base/gbk_text.h
  [template]=template/record_table.h
  [workbook]=workbook/workbook.h
  [filecrypt]=filecrypt/installed_key.h
  [commands]=commands/record_export.h
  [cli]=cli/command_line.h
  [gui/resources]=gui/resources/resource_paths.h
  [gui/controls]=gui/controls/dialog_units.h
  [gui/filecrypt]=gui/filecrypt/key_dialog.h
  [gui/editor]=gui/editor/record_table_model.h
  [gui/app]=gui/app/main_dialog.h
  [Qt]=QtCore/QString
)

failures=0
checks=0
while read -r target folder may_use include_file; do
  [[ -n "$target" ]] || continue
  flags=()
  while read -r dir; do [[ -n "$dir" ]] && flags+=("-I$dir"); done <"$include_file"
  for name in "${!probe[@]}"; do
    expected=fails
    [[ ",$may_use," == *",$name,"* ]] && expected=compiles
    if echo "#include \"${probe[$name]}\"" | sed 's/"\(Qt[A-Za-z]*\/[A-Za-z]*\)"/<\1>/' |
        "$compiler" -std=c++20 -fPIC -fsyntax-only -x c++ "${flags[@]}" - 2>/dev/null; then
      actual=compiles
    else
      actual=fails
    fi
    checks=$((checks + 1))
    if [[ "$actual" != "$expected" ]]; then
      echo "$target ($folder): including ${probe[$name]} $actual, but it should $( [[ $expected == compiles ]] && echo compile || echo fail)"
      failures=$((failures + 1))
    fi
  done
done <"$layers"

echo "$checks include checks, $failures against the layers"
((failures == 0))
