#!/usr/bin/env bash
# Copy benchmark (prints figures, asserts nothing): makes a 500 MB data folder
# in a Wine prefix (InnoDB's big files and many small table files, a Chinese
# database name among them), then copies it in turn with the panel's copy job
# (bench/copy_bench.cpp, the job as the panel runs it) and with `cp -a`, three
# times each, and prints the times and the copy process's memory: its peak
# before the copy (idle) and after it, as Linux counts it (VmHWM of the Wine
# process) and as Windows does (PeakWorkingSetSize).
# Usage: scripts/bench-copy.sh [MEGABYTES]   (default 500)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
megabytes=${1:-500}

bash scripts/install-deps.sh
source scripts/winebench.sh
winebench_select
arch=i686
[ "$TELLURIX_WIN_BUILD" = win64 ] && arch=x86_64
build=build/$TELLURIX_WIN_BUILD
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="cmake/mingw-$arch.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)" --target copy-bench standin-httpd standin-mysqld-nt >/dev/null

work=$(mktemp -d /tmp/tellurix-copy-bench.XXXXXX)
trap 'winebench_down; rm -rf "$work"' EXIT
winebench_up "$work/bench" "$build"
drive=$WINEPREFIX/drive_c
cp "$build/copy-bench.exe" "$drive/"

# The folder: ibdata1 and two log files make 70 % of it, the rest is 2 000 small files.
data=$drive/bench/MySQL/data
big=$((megabytes * 70 / 100))
mkdir -p "$data/mysql" "$data/商城" "$data/test"
head -c $((big * 1024 * 1024 * 6 / 10)) /dev/urandom >"$data/ibdata1"
head -c $((big * 1024 * 1024 * 2 / 10)) /dev/urandom >"$data/ib_logfile0"
head -c $((big * 1024 * 1024 * 2 / 10)) /dev/urandom >"$data/ib_logfile1"
small=$(((megabytes - big) * 1024 * 1024 / 2000))
head -c $((small * 2000)) /dev/urandom >"$work/small"
for i in $(seq 0 1999); do
  case $((i % 3)) in 0) db=mysql ;; 1) db=商城 ;; *) db=test ;; esac
  dd if="$work/small" of="$data/$db/table$i.ibd" bs="$small" skip="$i" count=1 status=none
done
rm "$work/small"
echo "folder: $(du -sm "$data" | cut -f1) MiB, $(find "$data" -type f | wc -l) files"

runs=3
: >"$work/ours"
: >"$work/cp"
for run in $(seq "$runs"); do
  rm -rf "$data-copy"
  sync
  "$TELLURIX_WINE" 'C:\copy-bench.exe' 'C:\bench\MySQL\data' 'C:\bench\MySQL\data-copy' >"$work/out" 2>>"$work/bench/wine.log" &
  pid=$!
  # The Wine loader becomes the Windows process itself, so $pid is the program.
  until grep -q '^idle' "$work/out" 2>/dev/null; do sleep 0.05; done
  idle=$(awk '/^VmHWM:/ {printf "%.1f", $2 / 1024}' "/proc/$pid/status")
  hwm=$idle
  while kill -0 "$pid" 2>/dev/null; do
    now=$(awk '/^VmHWM:/ {printf "%.1f", $2 / 1024}' "/proc/$pid/status" 2>/dev/null || true)
    [ -n "$now" ] && hwm=$now
    sleep 0.1
  done
  wait "$pid" || echo "run $run: the copy failed"
  tr -d '\r' <"$work/out" | awk -v idle="$idle" -v hwm="$hwm" '
    /^idle/ { widle = $2 }
    /^files/ { printf "%s %s %s %s %s %s\n", $8, idle, hwm, widle, $12, $10 }' >>"$work/ours"
  cmp -s "$data/ibdata1" "$data-copy/ibdata1" || echo "run $run: ibdata1 differs"
  rm -rf "$data-copy"
  sync
  start=$(date +%s.%N)
  cp -a "$data" "$data-copy"
  end=$(date +%s.%N)
  awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f\n", e - s }' >>"$work/cp"
done
rm -rf "$data-copy"

echo "Copy of the folder under Wine ($WINEARCH), $runs runs each in turn, the files in the page cache:"
printf '%-4s %10s %10s %14s %14s %16s %16s %9s\n' run "ours s" "cp -a s" "VmHWM idle" "VmHWM end" "peak WS idle" "peak WS end" messages
paste -d' ' "$work/ours" "$work/cp" | awk '{ printf "%-4d %10.2f %10.2f %14s %14s %16s %16s %9s\n", NR, $1, $7, $2, $3, $4, $5, $6 }'
paste -d' ' "$work/ours" "$work/cp" | awk '
  { t += $1; c += $7; if ($3 - $2 > g) g = $3 - $2; if ($5 - $4 > w) w = $5 - $4 }
  END {
    printf "time: ours / cp -a = %.2fx (goal: at most 1.5x)\n", t / c
    printf "memory above idle: VmHWM +%.1f MiB, peak working set +%.1f MiB (goal: under 16 MiB)\n", g, w }'
