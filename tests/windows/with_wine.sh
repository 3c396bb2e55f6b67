#!/usr/bin/env bash
# Runs a command with a Wine of its own: a fresh Wine prefix in a temporary folder, removed at
# the end, and a virtual X display (Xvfb through xvfb-run), so that the Windows programs' tests
# run headless, as root in CI too, and leave nothing behind.
# Usage: tests/windows/with_wine.sh COMMAND [ARGUMENT...]
set -euo pipefail

prefix=$(mktemp -d "${TMPDIR:-/tmp}/pelorin-wine-XXXXXX")
trap 'rm -rf "$prefix"' EXIT
export WINEPREFIX=$prefix
export WINEDEBUG=-all
# No Mono and no Gecko: nothing here needs them, and their installers would ask.
export WINEDLLOVERRIDES="mscoree,mshtml="

# Inside the display: set the prefix up with a virtual desktop of Wine's own, which gives
# windows their title bars and the keyboard focus where there is no window manager; wait for
# the Wine server to take the setting in (it ends once no program runs); run the command; then
# wait for this prefix's Wine server to end with its last program, so that the display and the
# prefix go only after it.
inside='
  timeout 180 wineboot --init
  timeout 60 wine reg add "HKCU\\Software\\Wine\\Explorer" /v Desktop /d Default /f >/dev/null
  timeout 60 wine reg add "HKCU\\Software\\Wine\\Explorer\\Desktops" /v Default /d 800x600 \
    /f >/dev/null
  timeout 60 wineserver --wait
  status=0
  "$@" || status=$?
  timeout 60 wineserver --wait || true
  exit $status'
xvfb-run --auto-servernum --server-args="-screen 0 1280x1024x24 -nolisten tcp" \
  bash -c "$inside" bash "$@"
