#!/usr/bin/env bash
# Copy benchmark (prints figures, asserts nothing): makes a 500 MB data folder
# in a Wine prefix (InnoDB's big files and many small table files, a Chinese
# database name among them), then copies it in turn with the panel's copy job
# (bench/copy_bench.cpp, the job as the panel runs it) and with `cp -a`, five
# times each, alternating which goes first, every run on a synced disk with the
# source in the page cache and the copy removed before it; prints the times,
# their medians, and the copy process's memory: its peak before the copy (idle)
# and after it, as Linux counts it (VmHWM of the Wine process) and as Windows
# does (PeakWorkingSetSize). Then the floor under Wine (bench/copy_floor.cpp):
# the same files as empty new files only, and CopyFileExW in a bare loop, on one
# and on two threads.
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
cmake --build "$build" -j"$(nproc)" --target copy-bench copy-floor standin-httpd standin-mysqld-nt >/dev/null

work=$(mktemp -d /tmp/tellurix-copy-bench.XXXXXX)
trap 'winebench_down; rm -rf "$work"' EXIT
winebench_up "$work/bench" "$build"
drive=$WINEPREFIX/drive_c
cp "$build/copy-bench.exe" "$build/copy-floor.exe" "$drive/"

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

runs=${TELLURIX_BENCH_RUNS:-5}
: >"$work/ours"
: >"$work/cp"
fresh() { rm -rf "$data-copy"; sync; }
ours() {
  fresh
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
}
copy() {
  fresh
  start=$(date +%s.%N)
  cp -a "$data" "$data-copy"
  end=$(date +%s.%N)
  awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f\n", e - s }' >>"$work/cp"
}
for run in $(seq "$runs"); do
  if [ $((run % 2)) = 1 ]; then ours; copy; else copy; ours; fi
done
: >"$work/floor"
for run in $(seq "$runs"); do
  for mode in "touch 1" "touch 2" "copy 1" "copy 2"; do
    fresh
    set -- $mode
    "$TELLURIX_WINE" 'C:\copy-floor.exe' "$1" 'C:\bench\MySQL\data' 'C:\bench\MySQL\data-copy' "$2" 2>>"$work/bench/wine.log" |
      tr -d '\r' | awk '{ print $1 "x" $3, $9 }' >>"$work/floor"
  done
done
fresh

echo "Copy of the folder under Wine ($WINEARCH), $runs runs each, alternating, the files in the page cache:"
printf '%-4s %10s %10s %14s %14s %16s %16s %9s\n' run "ours s" "cp -a s" "VmHWM idle" "VmHWM end" "peak WS idle" "peak WS end" messages
paste -d' ' "$work/ours" "$work/cp" | awk '{ printf "%-4d %10.2f %10.2f %14s %14s %16s %16s %9s\n", NR, $1, $7, $2, $3, $4, $5, $6 }'
median() { sort -n | awk '{ v[NR] = $1 } END { printf "%.2f", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
ours_median=$(cut -d' ' -f1 "$work/ours" | median)
cp_median=$(median <"$work/cp")
echo "median: ours $ours_median s, cp -a $cp_median s: ours / cp -a = $(awk -v o="$ours_median" -v c="$cp_median" 'BEGIN { printf "%.2f", o / c }')x (goal: at most 1.5x)"
paste -d' ' "$work/ours" "$work/cp" | awk '
  { if ($3 - $2 > g) g = $3 - $2; if ($5 - $4 > w) w = $5 - $4 }
  END { printf "memory above idle: VmHWM +%.1f MiB, peak working set +%.1f MiB (goal: under 16 MiB)\n", g, w }'
echo "The floor under Wine, the same files without the job (median s, threads after x):"
for mode in touchx1 touchx2 copyx1 copyx2; do
  printf '  %-8s %s\n' "$mode" "$(awk -v m="$mode" '$1 == m { print $2 }' "$work/floor" | median)"
done
