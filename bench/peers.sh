#!/usr/bin/env bash
# Times pelorin-cli side by side with its peers on 10,000 small canonical WAV files, warm cache.
# Installs the peers from Debian's packages, builds Pelorin and a floor program in C, and prints
# a Markdown table: files per second, each time as a ratio to the floor's, the system calls per
# probed file, and pelorin-cli's peak memory for 1,000 and for 100,000 files.
# Usage: bench/peers.sh [BUILD_DIR]    (run as root or with sudo available)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=$(realpath -m "${1:-$root/build}")
files=10000
runs=${RUNS:-40}       # for the programs that take milliseconds
slow_runs=${SLOW_RUNS:-5}  # for those that take seconds

"$root/tools/install-deps" bench >/dev/null
make -C "$root" build BUILD_DIR="$build" >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
gcc -O2 -o "$work/floor" "$here/floor.c"
gcc -O2 -o "$work/make_files" "$here/make_files.c"
mkdir "$work/files" "$work/small" "$work/large"
"$work/make_files" "$work/files" "$files"
"$work/make_files" "$work/small" 1000
"$work/make_files" "$work/large" 1000 100
cat "$work"/files/*.wav >/dev/null  # warm the page cache

cd "$work/files"
mapfile -t names < <(ls)
all="${names[*]}"
some="${names[*]:0:200}"
cli="$build/pelorin-cli"

# Each row: its label, its command, whether it is slow (fewer runs), and the factor its time is
# multiplied by to stand for all the files.
declare -a labels commands slow scale
add() { labels+=("$1"); commands+=("$2"); slow+=("${3:-0}"); scale+=("${4:-1}"); }
add "floor (C: open, pread 128 bytes, close)" "$work/floor $all"
add "pelorin-cli --json" "$cli --json $all"
add "pelorin-cli --json --details" "$cli --json --details $all"
add "pelorin-cli --json -j1" "$cli --json -j1 $all"
add "pelorin-cli (text)" "$cli $all"
add "pelorin-cli --tsv" "$cli --tsv $all"
add "soxi -D" "soxi -D $all"
add "sndfile-info" "sndfile-info $all"
# The slow rows come last, so that the rows keep their order when the two timings are joined.
add "file" "file $all" 1
add "python3 wave, one process" "python3 -c 'import sys,wave
for p in sys.argv[1:]:
  with wave.open(p) as w: w.getnframes()' $all" 1
add "mediainfo on the folder" "mediainfo $work/files" 1
add "ffprobe, one process per file (200 files, times 50)" \
  "bash -c 'for f in $some; do ffprobe -v quiet -show_format \$f; done'" 1 50

# Medians: a run that the machine disturbed moves the mean, not the median. No shell stands
# between hyperfine and the programs.
time_rows() {  # time_rows SLOW RUNS OUTPUT
  local selected=()
  for i in "${!commands[@]}"; do [[ ${slow[$i]} == "$1" ]] && selected+=("${commands[$i]}"); done
  hyperfine -N --warmup 3 --runs "$2" --style none --export-json "$3" "${selected[@]}" >/dev/null 2>&1
}
time_rows 0 "$runs" "$work/fast.json"
time_rows 1 "$slow_runs" "$work/slow.json"
jq -s '{ results: (.[0].results + .[1].results) }' "$work/fast.json" "$work/slow.json" >"$work/times.json"

floor_median=$(jq '.results[0].median' "$work/times.json")

# System calls per probed file: a run over 1,000 files minus a run over 1, divided by 999,
# without the calls that write the output.
count_calls() {
  strace -f -c -o "$work/strace.txt" "$cli" "$@" >/dev/null || true
  awk 'NF >= 5 && $4 ~ /^[0-9]+$/ && $NF != "total" && $NF != "write" && $NF != "writev" {
         calls += $4 } END { print calls + 0 }' "$work/strace.txt"
}
mapfile -t thousand < <(ls | head -1000)
calls_per_file() {
  local many one
  many=$(count_calls "$@" "${thousand[@]}")
  one=$(count_calls "$@" "${thousand[0]}")
  awk -v a="$many" -v b="$one" 'BEGIN { printf "%.2f", (a - b) / 999 }'
}
calls_default=$(calls_per_file --json)
calls_j1=$(calls_per_file --json -j1)
calls_details=$(calls_per_file --json --details)

peak() { /usr/bin/time -f '%M' "$cli" --json -r "$1" 2>&1 >/dev/null | tail -1; }
peak_small=$(peak "$work/small")
peak_large=$(peak "$work/large")

echo "Machine: $(nproc) cores, $(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo), \
$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'); $(date -u +%Y-%m-%d)"
echo
echo "| program | files per second | time / floor |"
echo "|---|---:|---:|"
for i in "${!labels[@]}"; do
  median=$(jq ".results[$i].median" "$work/times.json")
  awk -v label="${labels[$i]}" -v median="$median" -v floor="$floor_median" -v n="$files" \
    -v scale="${scale[$i]}" -v some=200 'BEGIN {
      count = scale > 1 ? some : n
      t = median * scale
      printf "| %s | %.0f | %.2f |\n", label, count / median, t / floor }'
done
echo
echo "System calls per probed file (strace -f -c, 1,000 files minus 1, writes left out):" \
  "$calls_default with the default workers, $calls_j1 with -j1, $calls_details with --details."
echo "Peak memory of pelorin-cli --json -r: ${peak_small} KiB for 1,000 files," \
  "${peak_large} KiB for 100,000 files in 100 folders" \
  "($(awk -v a="$peak_large" -v b="$peak_small" 'BEGIN { printf "%.2f", a / b }') times)."
echo "ffprobe runs once per file; its row is timed on 200 files and extrapolated to 10,000."
