#!/usr/bin/env bash
# Fuzzes the configuration primitives on bytes with libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer: the INI rules (tests/fuzz/ini_fuzz.cpp) and the directive
# rewriter (tests/fuzz/directive_fuzz.cpp), each for a bounded time from a throw-away
# seed corpus of the demo stack's files. A crash or a broken invariant leaves its input
# in build/fuzz/artifacts/ and makes the script fail.
# Usage: scripts/fuzz.sh [SECONDS_PER_TARGET]   (default 20)
set -uo pipefail
cd "$(dirname "$0")/.." || exit 2
seconds=${1:-20}
case "$seconds" in ''|*[!0-9]*|0) echo "usage: scripts/fuzz.sh [SECONDS_PER_TARGET]" >&2; exit 2 ;; esac
out=build/fuzz
mkdir -p "$out/artifacts"
work=$(mktemp -d /tmp/tellurix-fuzz.XXXXXX)
trap 'rm -rf "$work"' EXIT
printf ' [ s ]\r\n\tk = "v" ; c\n  Listen\t80\r\tListen 8\r\n[s]\xb0\x41=1\n#k=2\r\n\xef\xbb\xbf' >"$work/small"
printf '"%s"\n' Listen '\x09' '\x0d\x0a' '\x0a' '\x0d' '[' ']' '=' ';' '#' ' ' '\xef\xbb\xbf' '\xb0\x41' >"$work/dict"
status=0
for target in ini_fuzz directive_fuzz; do
  # The first bytes of an input pick the names; the seeds put a few choices before each file.
  mkdir -p "$work/$target"
  n=0
  for file in demo/stack/PHP5/php.ini demo/stack/MySQL/my.ini demo/stack/Apache2/conf/*.conf "$work/small"; do
    for prefix in '\000\000\000' '\002\002\000' '\003\001\004'; do
      n=$((n + 1))
      { printf "$prefix"; cat "$file"; } >"$work/$target/seed-$n"
    done
  done
  # The portable half of the core, as the native library builds it.
  if ! ${CXX_FUZZ:-clang++} -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
      -I. "tests/fuzz/$target.cpp" $(ls core/*.cpp | grep -v _win32) -o "$out/$target"; then
    echo "== $target: build FAILED" >&2; status=1; continue
  fi
  "$out/$target" "$work/$target" -dict="$work/dict" -max_len=4096 -max_total_time="$seconds" -timeout=10 \
    -artifact_prefix="$out/artifacts/$target-" >"$out/$target.log" 2>&1
  rc=$?
  grep -E '^(==[0-9]+==ERROR|SUMMARY|Done [0-9]+ runs)' "$out/$target.log"
  [ $rc -eq 0 ] && echo "== $target: passed" || { echo "== $target: FAILED ($rc), see $out/$target.log" >&2; status=1; }
done
exit $status
