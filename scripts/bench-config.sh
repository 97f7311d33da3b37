#!/usr/bin/env bash
# Configuration-write benchmark (prints figures, asserts nothing): builds the
# native config_bench (Google Benchmark, package libbenchmark-dev) and
# tellurix-conf, runs the benchmark on generated INI and httpd.conf-style files
# of 1 000, 10 000 and 100 000 lines, then changes the same single line of the
# same files REPS times (default 20) with `sed -i` and with the tellurix-conf
# program, and prints the average per run beside the benchmark's time.
# Usage: scripts/bench-config.sh [REPS]   (BUILD_DIR overrides build/native)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
reps=${1:-20}
build=${BUILD_DIR:-build/native}

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
if ! grep -q '^benchmark_DIR:PATH=/' "$build/CMakeCache.txt"; then
  echo "Google Benchmark was not found: apt-get install libbenchmark-dev" >&2
  exit 1
fi
cmake --build "$build" -j"$(nproc)" --target config_bench tellurix-conf >/dev/null
bench=$(find "$build" -name config_bench -type f -perm -u+x | head -n 1)
conf=$build/tellurix-conf

work=$(mktemp -d /tmp/tellurix-bench-config.XXXXXX)
trap 'rm -rf "$work"' EXIT

echo "== Google Benchmark: one changed line per operation (read, rewrite, atomic replace)"
"$bench" --tellurix_files="$work/files" --benchmark_out="$work/bench.csv" --benchmark_out_format=csv

# The benchmark's real time per operation in ms: NAME/LINES.
ours() {
  awk -F, -v name="\"$1/$2/real_time\"" '$1 == name {
      scale = $5 == "ns" ? 1e-6 : $5 == "us" ? 1e-3 : $5 == "ms" ? 1 : 1e3
      printf "%.3f", $3 * scale }' "$work/bench.csv"
}

# Average ms per run of a command template over $reps runs; "@V@" in the
# template becomes a value that changes from run to run, so each run really
# changes the line.
average() {  # TEMPLATE...
  local start end i args
  start=$(date +%s%N)
  for ((i = 0; i < reps; i++)); do
    args=("${@//@V@/$((8080 + i % 2))}")
    "${args[@]}" >/dev/null
  done
  end=$(date +%s%N)
  awk -v ns=$((end - start)) -v n="$reps" 'BEGIN { printf "%.3f", ns / n / 1e6 }'
}

echo
echo "== The same change, $reps runs each, average per run"
printf '%-6s %7s | %10s | %20s | %10s\n' file lines "ours (ms)" "tellurix-conf (ms)" "sed -i (ms)"
printf '%s\n' "-------------------------------------------------------------------"
for lines in 1000 10000 100000; do
  ini=$work/files/ini-$lines.ini
  printf '%-6s %7s | %10s | %20s | %10s\n' ini "$lines" \
    "$(ours BM_WriteIniValue "$lines")" \
    "$(average "$conf" set "$ini" mysqld port @V@)" \
    "$(average sed -i 's/^port=[0-9]*/port=@V@/' "$ini")"
done
for lines in 1000 10000 100000; do
  httpd=$work/files/httpd-$lines.conf
  printf '%-6s %7s | %10s | %20s | %10s\n' httpd "$lines" \
    "$(ours BM_ReplaceConfigDirective "$lines")" \
    "$(average "$conf" directive "$httpd" Listen @V@)" \
    "$(average sed -i 's/^Listen [0-9]*/Listen @V@/' "$httpd")"
done
echo
echo "ours: in-process WriteIniValue / ReplaceConfigDirective (Google Benchmark real time);"
echo "tellurix-conf and sed -i: one process per run, process start included."
