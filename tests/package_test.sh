#!/usr/bin/env bash
# Builds the Debian package from the build folder into a temporary folder and checks its
# contents, its control fields, its changelog and what lintian says of it.
# Usage: package_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 || {
  cat "$work/cpack.log"
  exit 1
}
architecture=$(dpkg --print-architecture)
deb=$work/pelorin_${version}_${architecture}.deb
[[ -f "$deb" ]] || { echo "FAIL: no $deb"; ls "$work"; exit 1; }

fail=0
failed() { echo "FAIL: $*"; fail=1; }

expected=$({
  printf './usr/%s\n' bin/pelorin bin/pelorin-cli share/applications/org.pelorin.Pelorin.desktop \
    share/icons/hicolor/scalable/apps/pelorin.svg share/man/man1/pelorin-cli.1.gz \
    share/man/man1/pelorin.1.gz share/metainfo/org.pelorin.Pelorin.metainfo.xml \
    share/doc/pelorin/changelog.gz share/doc/pelorin/copyright
  for size in 16 22 24 32 48 64 128 256; do
    echo "./usr/share/icons/hicolor/${size}x${size}/apps/pelorin.png"
  done
} | LC_ALL=C sort)
actual=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | LC_ALL=C sort)
[[ "$actual" == "$expected" ]] || failed "package files differ:
$(diff <(echo "$expected") <(echo "$actual") || true)"

field() { dpkg-deb -f "$deb" "$1"; }
[[ "$(field Package)" == pelorin ]] || failed "Package: $(field Package)"
[[ "$(field Version)" == "$version" ]] || failed "Version: $(field Version)"
[[ "$(field Architecture)" == "$architecture" ]] || failed "Architecture: $(field Architecture)"
[[ "$(field Section)" == sound ]] || failed "Section: $(field Section)"
[[ -n "$(field Maintainer)" ]] || failed "no Maintainer"
[[ "$(field Description)" == "see what a WAV file's header says"* ]] ||
  failed "Description: $(field Description)"
# dpkg-shlibdeps found the libraries the programs link against, expat too (libgcrypt is linked
# from its archive).
depends=$(field Depends)
for library in libc6 libstdc++6 libqt6widgets6 libqt6gui6 libqt6core6 libexpat1; do
  [[ "$depends" == *"$library "* || "$depends" == *"$library," || "$depends" == *"$library" ]] ||
    failed "Depends lacks $library: $depends"
done

# The programs in the package are stripped.
dpkg-deb -x "$deb" "$work/root"
if command -v readelf >/dev/null; then
  readelf -S "$work/root/usr/bin/pelorin-cli" | grep -q '\.debug_info' &&
    failed "pelorin-cli carries debugging information"
fi

# The changelog's newest entry is the version being packaged.
changelog_version=$(zcat "$work/root/usr/share/doc/pelorin/changelog.gz" | dpkg-parsechangelog -l - -S Version)
[[ "$changelog_version" == "$version" ]] ||
  failed "the changelog's newest entry is $changelog_version, not $version"

# The copyright file is machine-readable and gives the licence, MIT.
copyright=$work/root/usr/share/doc/pelorin/copyright
head -1 "$copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  failed "the copyright file is not in the machine-readable format"
grep -qx 'License: MIT' "$copyright" || failed "the copyright file does not give the MIT licence"

# No error or warning from lintian, with no tag suppressed.
lintian --no-cfg --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1 ||
  failed "lintian:
$(grep -v 'running with root privileges' "$work/lintian.log")"

exit $fail
