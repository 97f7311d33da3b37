#!/usr/bin/env bash
# Footprint benchmark (prints figures, asserts nothing): runs the real
# TellurixAdmin.exe idle under Wine for a while and prints its CPU seconds, peak
# resident memory and its growth beside those of the floor (bench/floor.cpp: a
# hidden window with a list and a button, a tray icon, a tooltip and two process
# snapshots a second), then the time from launch to the tray icon of each, in
# turn. Both carry Wine's own baseline, so compare the columns, not the absolute
# numbers. Usage: scripts/bench-footprint.sh [SECONDS]   (at least 20)
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
cmake --build "$build" -j"$(nproc)" --target TellurixAdmin footprint-floor tlxdrive standin-httpd standin-mysqld-nt >/dev/null

work=$(mktemp -d /tmp/tellurix-footprint.XXXXXX)
trap 'winebench_down; rm -rf "$work"' EXIT
winebench_up "$work/bench" "$build"
"$TELLURIX_WINE" sc start Apache2 >>"$work/bench/wine.log" 2>&1   # one server up, one down
cp "$build/TellurixAdmin.exe" "$build/footprint-floor.exe" "$WINEPREFIX/drive_c/"

ticks=$(getconf CLK_TCK)
measure() {  # measure NAME EXE: runs it idle for $seconds; CPU s, peak RSS, RSS after 10 s and at the end
  "$TELLURIX_WINE" "C:\\$2" >>"$work/bench/wine.log" 2>&1 &
  local pid=$!
  sleep 10
  local early
  early=$(awk '/^VmRSS:/ {printf "%.1f", $2 / 1024}' "/proc/$pid/status")
  sleep $((seconds - 10))
  # The Wine loader becomes the Windows process itself, so $pid is the program.
  local cpu hwm late
  cpu=$(awk -v t="$ticks" '{printf "%.2f", ($14 + $15) / t}' "/proc/$pid/stat")
  hwm=$(awk '/^VmHWM:/ {printf "%.1f", $2 / 1024}' "/proc/$pid/status")
  late=$(awk '/^VmRSS:/ {printf "%.1f", $2 / 1024}' "/proc/$pid/status")
  # Quit as its user would, so that its tray icon goes with it.
  "$TELLURIX_WINE" "C:\\tlxdrive.exe" quit >>"$work/bench/wine.log" 2>&1 || true
  timeout 10 tail --pid="$pid" -f /dev/null || kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  printf '%-16s %8s %14s %16s %16s\n' "$1" "$cpu" "$hwm" "$early" "$late"
  echo "$cpu $hwm $early $late" >"$work/$1"
}

cp "$build/tlxdrive.exe" "$WINEPREFIX/drive_c/"
echo "Idle for ${seconds} s under Wine ($WINEARCH), one server running:"
printf '%-16s %8s %14s %16s %16s\n' program "CPU s" "peak RSS MiB" "RSS at 10 s MiB" "RSS at end MiB"
measure floor footprint-floor.exe
measure TellurixAdmin TellurixAdmin.exe
read -r fc fm fe fl <"$work/floor"
read -r pc pm pe pl <"$work/TellurixAdmin"
awk -v fc="$fc" -v fm="$fm" -v pc="$pc" -v pm="$pm" -v fe="$fe" -v fl="$fl" -v pe="$pe" -v pl="$pl" 'BEGIN {
  printf "ratio (panel / floor): CPU %.2fx (goal: at most 1.1x), peak memory %.2fx (goal: at most 1.05x)\n",
    (fc > 0 ? pc / fc : 0), pm / fm
  printf "growth from 10 s to the end: floor %+.1f MiB, panel %+.1f MiB (goal: none)\n", fl - fe, pl - pe }'

# From launch to the tray icon, the two programs in turn, several times each.
runs=7
echo "Launch to tray icon, ${runs} runs each in turn (ms):"
: >"$work/floor.icon"
: >"$work/panel.icon"
for _ in $(seq "$runs"); do
  "$TELLURIX_WINE" "C:\\tlxdrive.exe" icon-time "C:\\footprint-floor.exe" 2>>"$work/bench/wine.log" |
    tr -d '\r' >>"$work/floor.icon"
  "$TELLURIX_WINE" "C:\\tlxdrive.exe" icon-time "C:\\TellurixAdmin.exe" 2>>"$work/bench/wine.log" |
    tr -d '\r' >>"$work/panel.icon"
done
median() { sort -n "$1" | awk '{ v[NR] = $1 } END { if (NR == 0) print "nan"; else print v[int((NR + 1) / 2)] }'; }
fi=$(median "$work/floor.icon")
pi=$(median "$work/panel.icon")
printf '%-16s %s (median of: %s)\n' floor "$fi" "$(echo $(cat "$work/floor.icon"))"
printf '%-16s %s (median of: %s)\n' TellurixAdmin "$pi" "$(echo $(cat "$work/panel.icon"))"
awk -v f="$fi" -v p="$pi" 'BEGIN { printf "ratio (panel / floor): %.2fx (goal: at most 1.2x)\n", p / f }'
