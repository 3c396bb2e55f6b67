#!/usr/bin/env bash
# Compiles the Windows resource script with the MinGW resource compiler and checks that the
# result carries the icon's three images and the version record with the project's version.
# Usage: windows_resources_test.sh RESOURCE_SCRIPT ICON_FOLDER VERSION
set -euo pipefail
script=$1
icon_folder=$2
version=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The host's C preprocessor is enough: the script includes no Windows header.
x86_64-w64-mingw32-windres --preprocessor=cpp -I "$icon_folder" -i "$script" -O res -o "$work/pelorin.res"
x86_64-w64-mingw32-windres -i "$work/pelorin.res" -O rc -o "$work/decompiled.rc"

fail=0
check() {  # check DESCRIPTION EXPECTED ACTUAL
  if [[ "$2" != "$3" ]]; then
    echo "FAIL: $1: expected '$2', got '$3'"
    fail=1
  fi
}

check "icon images" 3 "$(grep -c 'RT_ICON \*/' "$work/decompiled.rc")"
# The icon's images: 32 x 32 in two colours, 32 x 32 and 16 x 16 in sixteen.
check "pelorin.ico" "32x32x1 32x32x4 16x16x4" "$(icotool -l "$icon_folder/pelorin.ico" |
  sed -E 's/.*--width=([0-9]+) --height=([0-9]+) --bit-depth=([0-9]+).*/\1x\2x\3/' | tr '\n' ' ' |
  sed 's/ $//')"
check "icon groups" 1 "$(grep -c 'RT_GROUP_ICON \*/' "$work/decompiled.rc")"

# The version record's strings are UTF-16; each value follows its key.
mapfile -t strings < <(strings -el -n 3 "$work/pelorin.res")
value_of() {
  for ((i = 0; i + 1 < ${#strings[@]}; i++)); do
    [[ "${strings[i]}" == "$1" ]] && { echo "${strings[i + 1]}"; return; }
  done
  echo "(missing)"
}
check "string block" "StringFileInfo 040904B0" "$(grep -A1 -x StringFileInfo <(printf '%s\n' "${strings[@]}") | tr '\n' ' ' | sed 's/ $//')"
check FileVersion "$version" "$(value_of FileVersion)"
check ProductVersion "$version" "$(value_of ProductVersion)"
# The same version as four numbers: 1.00 is 1, 0, 0, 0.
IFS=. read -r major minor patch tweak <<<"$version"
numbers="$((10#$major)), $((10#${minor:-0})), $((10#${patch:-0})), $((10#${tweak:-0}))"
check "FILEVERSION" 1 "$(grep -c "^ *FILEVERSION $numbers\$" "$work/decompiled.rc" || true)"
check "PRODUCTVERSION" 1 "$(grep -c "^ *PRODUCTVERSION $numbers\$" "$work/decompiled.rc" || true)"
check ProductName Pelorin "$(value_of ProductName)"
check InternalName Pelorin "$(value_of InternalName)"
check OriginalFilename Pelorin.exe "$(value_of OriginalFilename)"
# US English (0x0409) with the Unicode code page (1200 = 0x04B0).
check "translation" 1 "$(grep -c 'VALUE "Translation", 0x409, 1200' "$work/decompiled.rc" || true)"

if [[ $fail -eq 0 ]]; then echo "windows resources: 1 passed, 0 failed"; fi
exit $fail
