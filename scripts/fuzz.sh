#!/usr/bin/env bash
# Fuzzes the configuration primitives on bytes with libFuzzer, AddressSanitizer
# and UndefinedBehaviorSanitizer: the INI rules (tests/fuzz/ini_fuzz.cpp) and the
# directive rewriter (tests/fuzz/directive_fuzz.cpp). Each target runs for a
# bounded time from a seed corpus made of the demo stack's files; the corpus
# lives in a temporary folder and is thrown away. A crash or a broken invariant
# leaves its input in build/fuzz/artifacts/ and makes the script fail.
# Usage: scripts/fuzz.sh [SECONDS_PER_TARGET]   (default 20)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:-20}
case "$seconds" in
  ''|*[!0-9]*|0) echo "usage: scripts/fuzz.sh [SECONDS_PER_TARGET]" >&2; exit 2 ;;
esac
cxx=${CXX_FUZZ:-clang++}
out=build/fuzz
mkdir -p "$out/artifacts"

flags=(-std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I"$root")
core=(core/text_lines.cpp core/profile_store.cpp core/directive_rewriter.cpp core/file_io_posix.cpp
  core/codepage_iconv.cpp)

work=$(mktemp -d /tmp/tellurix-fuzz.XXXXXX)
trap 'rm -rf "$work"' EXIT

# Seeds: the stack's files as they are, and with selector bytes in front that
# pick ordinary names (the first bytes of an input choose the names).
seed() {  # seed FOLDER PREFIX_BYTES...
  local folder=$1; shift
  mkdir -p "$folder"
  local n=0 file
  for file in demo/stack/PHP5/php.ini demo/stack/MySQL/my.ini demo/stack/Apache2/conf/httpd.conf \
              demo/stack/Apache2/conf/vhosts.conf demo/stack/Tellurix.ini; do
    [ -f "$file" ] || continue
    cp "$file" "$folder/plain-$n"
    local prefix m=0
    for prefix in "$@"; do
      { printf "$prefix"; cat "$file"; } >"$folder/seed-$n-$m"
      m=$((m + 1))
    done
    n=$((n + 1))
  done
}

status=0
for target in ini_fuzz directive_fuzz; do
  echo "== $target: build"
  if ! "$cxx" "${flags[@]}" "tests/fuzz/$target.cpp" "${core[@]}" -o "$out/$target"; then
    echo "== $target: build FAILED" >&2
    status=1
    continue
  fi
  corpus="$work/$target"
  if [ "$target" = ini_fuzz ]; then
    seed "$corpus" '\000\002\000' '\002\002\001' '\003\002\002' '\004\003\002' '\005\004\003' '\200\201\202'
  else
    seed "$corpus" '\000\000' '\001\001' '\003\002' '\004\003' '\000\005' '\200\201'
  fi
  echo "== $target: run for $seconds s"
  "$out/$target" "$corpus" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$out/artifacts/$target-" -print_final_stats=1 2>&1 | tee "$out/$target.log" |
    grep -E '^(INFO: seed corpus|#[0-9]+ +DONE|Done [0-9]+ runs|==[0-9]+==ERROR|SUMMARY|stat::number_of_executed_units|artifact_prefix|Test unit written)'
  rc=${PIPESTATUS[0]}
  if [ "$rc" -ne 0 ]; then
    echo "== $target: FAILED (exit $rc); see $out/$target.log and $out/artifacts/" >&2
    status=1
  else
    echo "== $target: passed"
  fi
done
exit $status
