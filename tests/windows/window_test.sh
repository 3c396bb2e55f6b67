#!/usr/bin/env bash
# Drives Pelorin.exe under Wine with the keyboard (xdotool) and reads what it shows with
# window-probe.exe: the window with its caption, client size and focused button; the open dialog
# from Alt+C, Enter and Space, and nothing after Escape; a typed path and Enter giving the
# information box; files from the command line giving their boxes one after another, a zero
# character shown, not ending the text; the program ending with status 0 when its window is
# closed; a long line broken with marks and shown as broken, no more; and the window's size at
# 144 DPI. Runs inside with_wine.sh, which gives it a Wine
# prefix and a virtual display.
# Usage: window_test.sh PELORIN_EXE WINDOW_PROBE_EXE MAKE_SAMPLE_EXE
set -uo pipefail
pelorin=$1
window_probe=$2
make_sample=$3

failures=0
pid=
trap '[[ -n $pid ]] && kill "$pid" 2>/dev/null' EXIT

expect() {  # expect WHAT EXPECTED ACTUAL
  if [[ "$2" != "$3" ]]; then
    echo "FAIL: $1"
    echo "  expected: $(printf %q "$2")"
    echo "  got:      $(printf %q "$3")"
    failures=$((failures + 1))
  fi
}

look() { timeout 60 wine "$window_probe" "$@" 2>/dev/null; }
# Gives the keyboard to the window titled $1. Wine makes an X window of each of its windows, and
# does not always hand the keyboard back to the window below when a dialog closes.
focus() {
  local id
  id=$(xdotool search --name "^$1\$" | tail -1)
  timeout 30 xdotool windowfocus --sync "$id"
}
press() { focus "$1" && xdotool key --clearmodifiers "$2"; }  # press TITLE KEY

start() {  # start [FILE...]: Pelorin.exe in the background
  wine "$pelorin" "$@" 2>/dev/null &
  pid=$!
}

# Closes the window with Alt+F4 and expects the program to end with status 0 within a minute.
close_and_expect_exit() {
  look window >/dev/null
  press "Wave file Info" alt+F4
  for ((i = 0; i < 600; i++)); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    expect "the program ends when its window is closed" ended running
    kill "$pid"
  fi
  wait "$pid"
  expect "exit status" 0 "$?"
  pid=
}

# The test's files, inside the Wine prefix that with_wine.sh removes.
mkdir -p "$WINEPREFIX/drive_c/pelorin-test"
timeout 60 wine "$make_sample" 'C:\pelorin-test\tone.wav'
# 46 bytes whose form type holds a zero byte: "WA", 0, "E".
printf 'RIFF\x26\x00\x00\x00WA\x00Efmt \x10\x00\x00\x00\x01\x00\x01\x00\x40\x1f\x00\x00\x40\x1f\x00\x00\x01\x00\x08\x00data\x02\x00\x00\x00\x00\x00' \
  >"$WINEPREFIX/drive_c/pelorin-test/zero.wav"

window=$'caption=Wave file Info\nclient=231x107\nbutton=72,40,97,33 &Click Me!\nfocus=button'
crlf=$'\r\n'
tone_prompt="ckID1 =RIFF${crlf}RiffID =WAVE${crlf}ckID2 =fmt ${crlf}"
tone_prompt+="Filename =C:\\pelorin-test\\tone.wav${crlf}Format tag = 1${crlf}"
tone_prompt+="Format Chunk Length = 16${crlf}Sample rate = 44100${crlf}Bits/Sample = 16${crlf}"
tone_prompt+="Number of channels = 2${crlf}Number of  samples = 176400${crlf}Length = 1 seconds."

start
for key in alt+c Return space; do
  expect "the window before $key" "$window" "$(look window)"
  press "Wave file Info" "$key"
  expect "$key opens the dialog" "title=Open" "$(look dialog open)"
  press Open Escape
  expect "Escape closes the dialog" 0 "$(look dialogs 0)"
done
sleep 1
expect "Escape shows nothing" 0 "$(look dialogs 0)"
expect "the window after the dialogs" "$window" "$(look window)"

press "Wave file Info" alt+c
look dialog open >/dev/null
focus Open && xdotool type --delay 50 'C:\pelorin-test\tone.wav'
press Open Return
expect "a typed path and Enter" "title=Wav file info..."$'\n'"text=$tone_prompt" \
  "$(look dialog box)"
press "Wav file info..." Return
expect "Enter dismisses the box" 0 "$(look dialogs 0)"
expect "the window after the box" "$window" "$(look window)"
close_and_expect_exit

start 'C:\pelorin-test\missing.wav' 'C:\pelorin-test\zero.wav'
expect "the first file named on the command line" \
  "title=Pelorin"$'\n'"text=Error opening file C:\\pelorin-test\\missing.wav${crlf} 53 - File not found" \
  "$(look dialog box Pelorin)"
press Pelorin Return
expect "the second file, once the first box is dismissed" \
  "title=Invalid .wav file!"$'\n'"text=ckID =RIFF${crlf}RiffID =WA␀E${crlf}FourCCckID =fmt " \
  "$(look dialog box 'Invalid .wav file!')"
press "Invalid .wav file!" Return
expect "no box after the last file" 0 "$(look dialogs 0)"
close_and_expect_exit

# A name that would forge a line of the report if the box broke its line at a space: the box's
# text (what Ctrl+C copies on Windows) holds the line broken with marks, and the box shows exactly
# as many lines as its text holds, counted in a screenshot of Wine's desktop (import). Windows
# drops a name's trailing dot, so no such file can exist: the box is the open failure's.
start "C:\\pelorin-test\\take.wav$(printf '%90s' '')Length = 3600 seconds."
long_prompt="Error opening file C:\\pelorin-test\\take.wav$(printf '%17s' '')${crlf}"
long_prompt+="  ↪ $(printf '%56s' '')${crlf}  ↪ $(printf '%17s' '')Length = 3600 seconds${crlf}"
long_prompt+=" 53 - File not found"
expect "the box of a long name" "title=Pelorin"$'\n'"text=$long_prompt" "$(look dialog box Pelorin)"
desktop=$(xdotool search --name 'Wine desktop$' | head -1)
import -window "$desktop" -depth 8 "$WINEPREFIX/desktop.pgm"
# Rows with dark pixels inside the text's place, one band per line shown. The font's small
# glyphs (the mark) are thin and smoothed: mid-grey counts as dark, so that none splits in two.
shown_lines=$(python3 - "$WINEPREFIX/desktop.pgm" $(look text-place Pelorin) <<'PYTHON'
import sys
with open(sys.argv[1], "rb") as pgm:
    header = []
    while len(header) < 4:
        header += pgm.readline().split()
    width = int(header[1])
    pixels = pgm.read()
x, y, w, h = (int(v) for v in sys.argv[2:6])
bands, inside = 0, False
for row in range(y, y + h):
    dark = any(value < 180 for value in pixels[row * width + x:row * width + x + w])
    bands += dark and not inside
    inside = dark
print(bands)
PYTHON
)
expect "the lines the box shows" 4 "$shown_lines"
press Pelorin Return
close_and_expect_exit

# At 144 DPI the window, its button and the button's font grow by half.
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
start
expect "the window at 144 DPI" \
  $'caption=Wave file Info\nclient=347x161\nbutton=108,60,146,50 &Click Me!\nfocus=button' \
  "$(look window)"
close_and_expect_exit
wine reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f >/dev/null 2>&1

echo "window: $((failures == 0 ? 1 : 0)) passed, $((failures == 0 ? 0 : 1)) failed"
exit $((failures == 0 ? 0 : 1))
