#!/usr/bin/env bash
# Times pelorin-cli side by side with its peers and with a floor program on 10,000 small
# canonical WAV files: a warm-cache table and, where the caches can be dropped, a cold-cache
# table. Each row is set against the floor at the same number of threads and against the
# fastest floor measured. Then the MD5 of a 1 GiB file's data against md5sum, the system calls
# per probed file, and pelorin-cli's peak memory for 1,000 and for 100,000 files.
# Usage: bench/peers.sh [BUILD_DIR]    (run as root, or with sudo available, for the cold table)
#        RUNS, SLOW_RUNS, COLD_RUNS: rounds of each table; PEERS=0 leaves the peers out.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=$(realpath -m "${1:-$root/build}")
files=10000
runs=${RUNS:-40}            # warm, for the programs that take milliseconds
slow_runs=${SLOW_RUNS:-5}   # warm, for those that take seconds
cold_runs=${COLD_RUNS:-10}  # cold: every run starts from empty caches
peers=${PEERS:-1}           # PEERS=0: the floors and pelorin-cli alone
slow_device_runs=${SLOW_DEVICE_RUNS:-15}  # the slow device's rounds
cores=$(nproc)

"$root/tools/install-deps" bench >/dev/null
make -C "$root" build BUILD_DIR="$build" >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
gcc -O2 -pthread -o "$work/floor" "$here/floor.c"
gcc -O2 -o "$work/make_files" "$here/make_files.c"
gcc -O2 -o "$work/fresh_pages" "$here/fresh_pages.c"
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
floor_threads=(1 "$cores" 16 64)
mapfile -t floor_threads < <(printf '%s\n' "${floor_threads[@]}" | awk '!seen[$0]++')

# A table's rows: label, command, the floor's thread count it runs like, whether it is slow
# (fewer runs), and the factor its time is multiplied by to stand for all the files.
declare -a labels commands like slow scale
reset_rows() { labels=(); commands=(); like=(); slow=(); scale=(); }
add() {
  labels+=("$1"); commands+=("$2"); like+=("$3"); slow+=("${4:-0}"); scale+=("${5:-1}")
}
# The floors come first: the bare open, pread and close, then the probe's four calls (stat
# first), each at every thread count. Rows are set against the four calls.
add_floors() {
  for threads in "${floor_threads[@]}"; do
    add "floor, $threads thread$([[ $threads == 1 ]] || echo s) (C: open, pread 128 bytes, close)" \
      "$work/floor -t $threads $all" "$threads"
  done
  for threads in "${floor_threads[@]}"; do
    add "floor, $threads thread$([[ $threads == 1 ]] || echo s) (C: stat, open, pread 128 bytes, close)" \
      "$work/floor -s -t $threads $all" "$threads"
  done
}
floor_rows=$((2 * ${#floor_threads[@]}))

# Medians: a run that the machine disturbed moves the mean, not the median. The programs take
# turns, one run each a round, so that a machine that drifts (a neighbour on the host, the
# processor's clock) weighs on every row alike. No shell stands between hyperfine and the
# programs. time_rows SLOW RUNS OUTPUT [PREPARE]
time_rows() {
  local selected=() prepare=() warmup=1 round
  for i in "${!commands[@]}"; do [[ ${slow[$i]} == "$1" ]] && selected+=("${commands[$i]}"); done
  [[ ${#selected[@]} -gt 0 ]] || { echo '{"results": []}' >"$3"; return; }
  [[ $1 == 1 ]] && warmup=0  # a slow program's own run is long enough to be warm
  [[ -n "${4:-}" ]] && prepare=(--prepare "$4") && warmup=0
  for ((round = 0; round < $2; ++round)); do
    hyperfine -N --warmup "$warmup" --runs 1 "${prepare[@]}" --style none \
      --export-json "$work/round-$round.json" "${selected[@]}" >/dev/null 2>&1
  done
  jq -s '{ results: [ range(0; .[0].results | length) as $i
                      | [ .[].results[$i].times[0] ] | sort
                      | { median: (if length % 2 == 1 then .[length / 2 | floor]
                                   else (.[length / 2 - 1] + .[length / 2]) / 2 end),
                          slowest: max } ] }' \
    "$work"/round-*.json >"$3"
  rm -f "$work"/round-*.json
}

# print_table JSON: one row per label; the four-call floor of the same threads and the fastest
# floor come from the table's own floor rows, the first ones.
print_table() {
  local times=$1 fastest four=${#floor_threads[@]}
  fastest=$(jq '[.results[0:'"$floor_rows"'][].median] | min' "$times")
  echo "| program | time (median) | files per second | time / four-call floor at the same threads | time / fastest floor |"
  echo "|---|---:|---:|---:|---:|"
  for i in "${!labels[@]}"; do
    local median same
    median=$(jq ".results[$i].median" "$times")
    for f in "${!floor_threads[@]}"; do
      [[ ${floor_threads[$f]} == "${like[$i]}" ]] && same=$(jq ".results[$((four + f))].median" "$times")
    done
    awk -v label="${labels[$i]}" -v median="$median" -v same="$same" -v fastest="$fastest" \
      -v n="$files" -v scale="${scale[$i]}" -v some=200 'BEGIN {
        count = scale > 1 ? some : n
        t = median * scale
        printf "| %s | %.4f s | %.0f | %.2f | %.2f |\n", label, t, count / median, t / same, t / fastest }'
  done
}

echo "Machine: $cores cores, $(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo)," \
  "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), kernel $(uname -r)," \
  "$(findmnt -n -o FSTYPE -T "$work") in $work; $(date -u +%Y-%m-%d)"
echo

# The warm table. pelorin-cli's default starts one prober per core and stays so on a warm cache.
reset_rows
add_floors
add "pelorin-cli --json" "$cli --json $all" "$cores"
add "pelorin-cli --json -j1" "$cli --json -j1 $all" 1
add "pelorin-cli (text)" "$cli $all" "$cores"
add "pelorin-cli --tsv" "$cli --tsv $all" "$cores"
add "pelorin-cli --json --details" "$cli --json --details $all" "$cores"
add "pelorin-cli --json --progress (forced)" "$cli --json --progress $all" "$cores"
if [[ $peers == 1 ]]; then
  add "soxi -D" "soxi -D $all" 1
  add "sndfile-info" "sndfile-info $all" 1
  # The slow rows come last, so that the rows keep their order when the two timings are joined.
  add "file" "file $all" 1 1
  add "python3 wave, one process" "python3 -c 'import sys,wave
for p in sys.argv[1:]:
  with wave.open(p) as w: w.getnframes()' $all" 1 1
  add "mediainfo on the folder" "mediainfo $work/files" 1 1
  add "ffprobe, one process per file (200 files, times 50)" \
    "bash -c 'for f in $some; do ffprobe -v quiet -show_format \$f; done'" 1 1 50
fi
time_rows 0 "$runs" "$work/fast.json"
time_rows 1 "$slow_runs" "$work/slow.json"
jq -s '{ results: (.[0].results + .[1].results) }' "$work/fast.json" "$work/slow.json" >"$work/warm.json"
echo "Warm cache ($runs runs of each fast program, $slow_runs of each slow one):"
echo
print_table "$work/warm.json"
echo

# The cold table: page cache, dentries and inodes dropped before every run.
drop='sh -c "sync; echo 3 > /proc/sys/vm/drop_caches"'
if sh -c 'sync; echo 3 > /proc/sys/vm/drop_caches' 2>/dev/null; then
  reset_rows
  add_floors
  add "pelorin-cli --json" "$cli --json $all" 16
  add "pelorin-cli --json -j1" "$cli --json -j1 $all" 1
  add "pelorin-cli --tsv" "$cli --tsv $all" 16
  if [[ $peers == 1 ]]; then add "soxi -D" "soxi -D $all" 1; fi
  time_rows 0 "$cold_runs" "$work/cold.json" "$drop"
  echo "Cold cache (caches dropped before each of $cold_runs runs; pelorin-cli's default grows to" \
    "16 probers once it sees its probes wait on the device, so it is set against the floor at 16):"
  echo
  print_table "$work/cold.json"
else
  echo "Cold cache: skipped, the caches cannot be dropped here (/proc/sys/vm/drop_caches needs root)."
fi
echo

# The slow-device table: 600 small files behind a passthrough file system (bench/slow_fs.py,
# run by Debian's python3 with fusepy) that adds 10 ms to every open and every read, as a
# network share or a busy disk does. Each row is set against a Python loop that makes the
# probe's calls (stat, open, read, close) on 64 threads (bench/slow_loop.py); "to a terminal"
# runs under script(1), whose pseudo-terminal costs the loop too.
slow_device_table() {
  local source="$work/slow-source" mount="$work/slow" fs names
  mkdir "$source" "$mount"
  "$work/make_files" "$source" 600
  /usr/bin/python3 "$here/slow_fs.py" "$source" "$mount" 10 &
  fs=$!
  for _ in $(seq 50); do mountpoint -q "$mount" && break; sleep 0.1; done
  if ! mountpoint -q "$mount"; then
    kill "$fs"
    echo "Slow device: skipped, no FUSE file system can be mounted here."
    return
  fi
  mapfile -t names < <(cd "$mount" && ls)
  names=("${names[@]/#/$mount/}")
  local list="${names[*]}"
  reset_rows
  local loop="/usr/bin/python3 $here/slow_loop.py 64 $list"
  add "python3 loop, 64 threads (stat, open, read 128 bytes, close)" "$loop" 64
  add "python3 loop, 64 threads, to a terminal" "script -qec '$loop' /dev/null" 64
  add "pelorin-cli --json" "$cli --json $list" 64
  add "pelorin-cli --json -j64" "$cli --json -j64 $list" 64
  add "pelorin-cli --json, to a terminal" "script -qec '$cli --json $list' /dev/null" 64
  add "pelorin-cli --json -j64, to a terminal" "script -qec '$cli --json -j64 $list' /dev/null" 64
  time_rows 0 "$slow_device_runs" "$work/slow-device.json"
  fusermount3 -u "$mount"
  wait "$fs" || true
  echo "Slow device (600 files, 10 ms added to every open and read; $slow_device_runs rounds):"
  echo
  echo "| program | time (median) | slowest run | median / loop's median | slowest / loop's median |"
  echo "|---|---:|---:|---:|---:|"
  local floor
  floor=$(jq '.results[0].median' "$work/slow-device.json")
  for i in "${!labels[@]}"; do
    jq -r --arg row "${labels[$i]}" --argjson loop "$floor" ".results[$i] |
      \"| \\(\$row) | \\(.median * 1000 | round / 1000) s | \\(.slowest * 1000 | round / 1000) s\" +
      \" | \\(.median / \$loop * 100 | round / 100) | \\(.slowest / \$loop * 100 | round / 100) |\"" \
      "$work/slow-device.json"
  done
}
slow_device_table
# The MD5 of a 1 GiB file's data: pelorin-cli --verify-md5 against md5sum on the whole file,
# warm, then cold where the caches can be dropped. The goal is within 1.1 times md5sum's time.
big="$work/big.wav"
python3 - "$big" <<'PY'
import os, struct, sys
size = 1 << 30
with open(sys.argv[1], "wb") as f:
    f.write(b"RIFF" + struct.pack("<I", 36 + size) + b"WAVEfmt " + struct.pack("<IHHIIHH", 16, 1, 2, 48000, 192000, 4, 16))
    f.write(b"data" + struct.pack("<I", size))
    for _ in range(size >> 24):
        f.write(os.urandom(1 << 24))
PY
time_md5() {  # time_md5 LABEL RUNS [PREPARE]: one table row
  local prepare=(--warmup 1)
  [[ -n "${3:-}" ]] && prepare=(--prepare "$3")
  hyperfine -N --runs "$2" "${prepare[@]}" --style none --export-json "$work/md5.json" \
    "md5sum $big" "$cli --json --details --verify-md5 $big" >/dev/null 2>&1
  jq -r --arg row "$1" '.results | "| \($row) | \(.[0].median * 1000 | round / 1000) s | \(
    .[1].median * 1000 | round / 1000) s | \(.[1].median / .[0].median * 100 | round / 100) |"' \
    "$work/md5.json"
}
echo "MD5 of a 1 GiB file (medians; md5sum hashes the whole file, pelorin-cli its data):"
echo
echo "| cache | md5sum | pelorin-cli --json --details --verify-md5 | pelorin-cli / md5sum |"
echo "|---|---:|---:|---:|"
time_md5 "warm" "${MD5_RUNS:-10}"
if sh -c 'sync; echo 3 > /proc/sys/vm/drop_caches' 2>/dev/null; then
  time_md5 "cold" "${MD5_COLD_RUNS:-5}" "$drop"
else
  echo "| cold | skipped: the caches cannot be dropped here | | |"
fi
rm -f "$big"
echo

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
echo "System calls per probed file (strace -f -c, 1,000 files minus 1, writes left out):" \
  "$(calls_per_file --json -j1) with -j1, $(calls_per_file --json -j "$cores") with -j$cores" \
  "(the default's probers on a warm cache), $(calls_per_file --json -j "$cores" --details) with" \
  "--details. Under strace every call waits for the tracer, which the default takes for a slow" \
  "device: it grows to 64 probers, and their start-up makes $(calls_per_file --json) a file."

# The page faults of one run on the 10,000 files, where perf can count them.
page_faults() {
  command -v perf >/dev/null || { echo "(no perf)"; return; }
  (cd "$work/files" && perf stat -x, -e page-faults "$@" "${names[@]}" 2>&1 >/dev/null |
    awk -F, '/page-faults/ { print $1 }')
}

# Warm, as the table's first rows: the cold table dropped the caches.
find "$work/small" "$work/large" -type f -exec cat {} + >/dev/null
# The median of three runs' peaks, as the tables give medians.
peak() {
  for _ in 1 2 3; do /usr/bin/time -f '%M' "$cli" --json -r "$1" 2>&1 >/dev/null | tail -1; done |
    sort -n | sed -n 2p
}
peak_small=$(peak "$work/small")
peak_large=$(peak "$work/large")
echo "Peak memory of pelorin-cli --json -r (median of 3 runs): ${peak_small} KiB for 1,000 files," \
  "${peak_large} KiB for 100,000 files in 100 folders" \
  "($(awk -v a="$peak_large" -v b="$peak_small" 'BEGIN { printf "%.2f", a / b }') times)."
cat "$work"/files/*.wav >/dev/null  # warm again: the cold table dropped the caches
echo "A first touch of a page of memory (bench/fresh_pages.c, median of 3 rounds of 4,096 pages):" \
  "$("$work/fresh_pages") µs. Page faults of a warm run on the 10,000 files (perf stat -e" \
  "page-faults): $(page_faults "$cli" --json) for pelorin-cli --json, $(page_faults "$cli" --json -j1)" \
  "with -j1, $(page_faults "$work/floor" -s) for the four-call floor at 1 thread."
if [[ $peers == 1 ]]; then
  echo "ffprobe runs once per file; its row is timed on 200 files and extrapolated to 10,000."
fi
