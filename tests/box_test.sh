#!/usr/bin/env bash
# The window's message box on an X server (Xvfb, 1280x1024), for a file whose name holds 90
# spaces and "Length = 3600 seconds.": the box's text as Ctrl+C copies it (read back with xclip)
# is the report's lines, each line over 60 characters broken with "  ↪ " marks and none that
# begins like a line of the report; a screenshot of the box (import) shows exactly that many
# lines, so the box breaks none of its own accord. With XDG_RUNTIME_DIR unset, nothing is left in
# TMPDIR once the program is ended (SIGTERM): neither its runtime folder nor one of Qt's.
# Skips (status 77) where Xvfb, xdotool, xclip or ImageMagick's import is missing.
# Usage: box_test.sh PELORIN PELORIN_CLI MAKE_SAMPLE
set -uo pipefail
if [[ ${1-} != --inside ]]; then
  for tool in xvfb-run xdotool xclip import python3; do
    if ! command -v "$tool" >/dev/null; then
      echo "skipped: $tool is missing (tools/install-deps test installs it)"
      exit 77
    fi
  done
  exec xvfb-run --auto-servernum --server-args="-screen 0 1280x1024x24 -nolisten tcp" \
    bash "$0" --inside "$@"
fi
pelorin=$2
cli=$3
make_sample=$4

failures=0
pid=
work=$(mktemp -d)
trap '[[ -n $pid ]] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $1"
  failures=$((failures + 1))
}

mkdir "$work/home" "$work/tmp"
file="$work/take.wav$(printf '%90s' '')Length = 3600 seconds."
"$make_sample" "$file"
"$cli" "$file" | tail -n +2 >"$work/report"  # the report's lines, without the title

env -u XDG_RUNTIME_DIR -u QT_QPA_PLATFORM HOME="$work/home" XDG_CONFIG_HOME="$work/home" \
  XDG_CACHE_HOME="$work/home" XDG_DATA_HOME="$work/home" TMPDIR="$work/tmp" \
  "$pelorin" "$file" 2>/dev/null &
pid=$!
box=$(timeout 60 xdotool search --sync --name '^Wav file info\.\.\.$' | head -1)
[[ -n $box ]] || fail "no box"
# Copies the whole box once it has the keyboard, which the clipboard then shows.
for ((try = 0; try < 100; try++)); do
  timeout 10 xdotool windowfocus --sync "$box" && xdotool key --clearmodifiers ctrl+c
  timeout 10 xclip -o -selection clipboard >"$work/copied" 2>/dev/null && [[ -s $work/copied ]] &&
    break
  sleep 0.1
done
import -window "$box" -depth 8 "$work/box.pgm"

python3 - "$work/copied" "$work/report" "$work/box.pgm" <<'PYTHON' || failures=$((failures + 1))
import sys

copied = open(sys.argv[1], encoding="utf-8").read().split("\n")
report = open(sys.argv[2], encoding="utf-8").read().rstrip("\n").split("\n")
mark = "  \u21AA "
shown = copied[3:-4]  # between the frame, the title and the button
problems = []
if copied[1] != "Wav file info...":
    problems.append(f"title {copied[1]!r}")
joined = []
for line in shown:
    if len(line) > 60:
        problems.append(f"a line of {len(line)} characters: {line!r}")
    if line.startswith(mark) and joined:
        joined[-1] += line[len(mark):]
    else:
        joined.append(line)
if joined != report:
    problems.append(f"the lines joined are not the report's: {joined!r}")
if any(line.startswith("Length = 3600") for line in shown):
    problems.append("a line starts with the name's \"Length = 3600\"")

# The screenshot: rows with dark pixels in the left part of the box, where every line starts
# and the button is not, make one band per line of text.
with open(sys.argv[3], "rb") as pgm:
    header = []
    while len(header) < 4:
        header += pgm.readline().split()
    width, height = int(header[1]), int(header[2])
    pixels = pgm.read()
bands, inside = 0, False
for y in range(height):
    row = pixels[y * width:y * width + width * 2 // 5]
    dark = any(value < 100 for value in row)
    bands += dark and not inside
    inside = dark
if bands != len(shown):
    problems.append(f"the box shows {bands} lines of text, its text has {len(shown)}")
for problem in problems:
    print("FAIL:", problem)
sys.exit(1 if problems else 0)
PYTHON

kill -TERM "$pid"
wait "$pid"
pid=
left=$(ls -A "$work/tmp")
[[ -z $left ]] || fail "left in TMPDIR: $left"

echo "box: $((failures == 0 ? 1 : 0)) passed, $((failures == 0 ? 0 : 1)) failed"
exit $((failures == 0 ? 0 : 1))
