#!/usr/bin/env bash
# Footprint benchmark (prints figures, asserts nothing): runs the real
# TellurixAdmin.exe idle under Wine for a while and prints its CPU seconds and
# peak resident memory beside those of a floor program that only takes two
# process snapshots a second. Both carry Wine's own baseline, so compare the two
# columns, not the absolute numbers. Usage: scripts/bench-footprint.sh [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:-60}

bash scripts/install-deps.sh
source scripts/winebench.sh
winebench_select
arch=i686
[ "$TELLURIX_WIN_BUILD" = win64 ] && arch=x86_64
build=build/$TELLURIX_WIN_BUILD
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="cmake/mingw-$arch.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)" --target TellurixAdmin footprint-floor standin-httpd standin-mysqld-nt >/dev/null

work=$(mktemp -d /tmp/tellurix-footprint.XXXXXX)
trap 'winebench_down; rm -rf "$work"' EXIT
winebench_up "$work/bench" "$build"
"$TELLURIX_WINE" sc start Apache2 >>"$work/bench/wine.log" 2>&1   # one server up, one down
cp "$build/TellurixAdmin.exe" "$build/footprint-floor.exe" "$WINEPREFIX/drive_c/"

ticks=$(getconf CLK_TCK)
measure() {  # measure NAME EXE: runs it idle for $seconds, prints CPU s and peak RSS
  "$TELLURIX_WINE" "C:\\$2" >>"$work/bench/wine.log" 2>&1 &
  local pid=$!
  sleep "$seconds"
  # The Wine loader becomes the Windows process itself, so $pid is the program.
  local cpu hwm
  cpu=$(awk -v t="$ticks" '{printf "%.2f", ($14 + $15) / t}' "/proc/$pid/stat")
  hwm=$(awk '/^VmHWM:/ {printf "%.1f", $2 / 1024}' "/proc/$pid/status")
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  printf '%-22s %10s %14s\n' "$1" "$cpu" "$hwm"
  echo "$cpu $hwm" >"$work/$1"
}

echo "Idle for ${seconds} s under Wine ($WINEARCH):"
printf '%-22s %10s %14s\n' program "CPU s" "peak RSS MiB"
measure floor footprint-floor.exe
measure TellurixAdmin TellurixAdmin.exe
read -r fc fm <"$work/floor"
read -r pc pm <"$work/TellurixAdmin"
awk -v fc="$fc" -v fm="$fm" -v pc="$pc" -v pm="$pm" 'BEGIN {
  printf "ratio (panel / floor): CPU %.2fx, peak memory %.2fx (target: at most 1.5x each)\n",
    (fc > 0 ? pc / fc : 0), pm / fm }'
