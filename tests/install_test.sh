#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what lands there: exactly the two
# programs, the desktop entry, the icons, the metainfo record, the two manual pages, the
# changelog and the copyright file, each valid by the desktop's own checkers, and nothing from
# the build or the tests.
# Usage: install_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/usr

cmake --install "$build" --prefix "$prefix" >/dev/null

fail=0
failed() { echo "FAIL: $*"; fail=1; }

icon_sizes=(16 22 24 32 48 64 128 256)
expected=$({
  printf '%s\n' bin/pelorin bin/pelorin-cli share/applications/org.pelorin.Pelorin.desktop \
    share/icons/hicolor/scalable/apps/pelorin.svg share/man/man1/pelorin-cli.1.gz \
    share/man/man1/pelorin.1.gz share/metainfo/org.pelorin.Pelorin.metainfo.xml \
    share/doc/pelorin/changelog.gz share/doc/pelorin/copyright
  for size in "${icon_sizes[@]}"; do echo "share/icons/hicolor/${size}x${size}/apps/pelorin.png"; done
} | LC_ALL=C sort)
actual=$(cd "$prefix" && find . -not -type d | sed 's|^\./||' | LC_ALL=C sort)
[[ "$actual" == "$expected" ]] || failed "installed files differ:
$(diff <(echo "$expected") <(echo "$actual") || true)"

for program in pelorin pelorin-cli; do
  [[ -x "$prefix/bin/$program" ]] || failed "$program is not executable"
done

desktop-file-validate "$prefix/share/applications/org.pelorin.Pelorin.desktop" ||
  failed "desktop-file-validate"
grep -qx 'Exec=pelorin %F' "$prefix/share/applications/org.pelorin.Pelorin.desktop" ||
  failed "the desktop entry does not start pelorin with the files"
appstreamcli validate --no-net --explain "$prefix/share/metainfo/org.pelorin.Pelorin.metainfo.xml" ||
  failed "appstreamcli validate"
grep -q '<project_license>MIT</project_license>' "$prefix/share/metainfo/org.pelorin.Pelorin.metainfo.xml" ||
  failed "the metainfo record does not give the project's licence"
# The software centre's newest release is the version being built.
newest=$(grep -m1 -o '<release version="[^"]*"' "$prefix/share/metainfo/org.pelorin.Pelorin.metainfo.xml")
[[ "$newest" == "<release version=\"$version\"" ]] ||
  failed "the metainfo's newest release is $newest, not $version"

# A PNG's width and height are the big-endian words at bytes 16 and 20.
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{ print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8 }'; }
for size in "${icon_sizes[@]}"; do
  actual_size=$(png_size "$prefix/share/icons/hicolor/${size}x${size}/apps/pelorin.png")
  [[ "$actual_size" == "${size}x${size}" ]] || failed "the ${size}x${size} icon is $actual_size"
done
grep -q '<svg' "$prefix/share/icons/hicolor/scalable/apps/pelorin.svg" || failed "the SVG icon"

for page in pelorin pelorin-cli; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$prefix/share/man/man1/$page.1.gz" 2>&1 >"$work/$page.txt") ||
    failed "man -l $page.1"
  [[ -z "$warnings" ]] || failed "man -l $page.1 warns: $warnings"
  grep -q "^NAME" "$work/$page.txt" || failed "$page.1 renders no NAME section"
done

# The installed programs run from where they landed.
"$prefix/bin/pelorin-cli" --version >/dev/null || failed "the installed pelorin-cli does not run"
env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/bin/pelorin" --version >/dev/null ||
  failed "the installed pelorin does not run"

exit $fail
