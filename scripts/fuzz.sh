#!/usr/bin/env bash
# Fuzzes the readers of outside bytes with libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer: the INI rules (tests/fuzz/ini_fuzz.cpp) and the directive
# rewriter (tests/fuzz/directive_fuzz.cpp) from a throw-away seed corpus of the demo
# stack's files, and the event log's records (tests/fuzz/event_log_fuzz.cpp) from a few
# records of Apache's, each for a bounded time. A crash or a broken invariant leaves its
# input in build/fuzz/artifacts/ and makes the script fail.
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

# A number as `width` little-endian bytes.
le() { for ((i = 0; i < $2; i++)); do printf "\\$(printf %03o $(($1 >> 8 * i & 255)))"; done; }
# A record of the Application log as ReadEventLogA returns it: NUMBER EVENT-ID SOURCE STRING...
# (the header, the source and computer names, padding, the strings, padding, the length again).
record() {
  local number=$1 id=$2 source=$3 names strings=0 length text
  shift 3
  names=$(((${#source} + 8 + 3) / 4 * 4))
  for text in "$@"; do strings=$((strings + ${#text} + 1)); done
  length=$(((56 + names + strings + 3) / 4 * 4 + 4))
  le "$length" 4; le 0x654C664C 4; le "$number" 4; le 0 8; le "$id" 4; le 1 2; le $# 2; le 0 8
  le $((56 + names)) 4; le 0 4; le $((56 + names)) 4; le 0 4; le $((56 + names + strings)) 4
  printf '%s\0DEV-PC\0' "$source"; head -c $((names - ${#source} - 8)) /dev/zero
  [ $# -eq 0 ] || printf '%s\0' "$@"; head -c $((length - 60 - names - strings)) /dev/zero; le "$length" 4
}
apache() { record "$1" "$2" 'Apache Service' 'The Apache service named' '' $'reported the following error:\r\n>>>' "$3" '' '' '' '' ''; }
mkdir -p "$work/event_log_fuzz"
(
  export LC_ALL=C  # string lengths in bytes
  taken=$(printf '%s' '(OS 10048)通常每个套接字地址(协议/网络地址/端口)只允许使用一次。  : AH00072: make_sock: could not bind to address [::]:80' | iconv -f UTF-8 -t GBK)
  apache 1 3299 "$taken" >"$work/event_log_fuzz/seed-1"
  { record 2 0x40001B58 'Service Control Manager'; apache 3 0xC0000CE3 'AH00015: Unable to open logs'; } >"$work/event_log_fuzz/seed-2"
  { apache 4 3299 'AH00526: Syntax error on line 2 of C:/Tellurix/Apache2/conf/httpd.conf:'
    apache 5 3299 "Invalid command 'Listn', perhaps misspelled or defined by a module not included in the server configuration"
  } >"$work/event_log_fuzz/seed-3"
)

status=0
for target in ini_fuzz directive_fuzz event_log_fuzz; do
  mkdir -p "$work/$target"
  options=(-dict="$work/dict")
  sources=$(ls core/*.cpp | grep -v _win32)
  if [ "$target" = event_log_fuzz ]; then
    options=()
    # An event line is read as the panel reads any program's text (server_log.cpp).
    sources+=" servers/event_log.cpp servers/server_log.cpp servers/service_diagnosis.cpp servers/service_commands.cpp ui/launch_plan.cpp"
  else
    # The first bytes of an input pick the names; the seeds put a few choices before each file.
    n=0
    for file in demo/stack/PHP5/php.ini demo/stack/MySQL/my.ini demo/stack/Apache2/conf/*.conf "$work/small"; do
      for prefix in '\000\000\000' '\002\002\000' '\003\001\004'; do
        n=$((n + 1))
        { printf "$prefix"; cat "$file"; } >"$work/$target/seed-$n"
      done
    done
  fi
  # The portable half of the core, as the native library builds it.
  if ! ${CXX_FUZZ:-clang++} -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
      -I. "tests/fuzz/$target.cpp" $sources -o "$out/$target"; then
    echo "== $target: build FAILED" >&2; status=1; continue
  fi
  "$out/$target" "$work/$target" "${options[@]}" -max_len=4096 -max_total_time="$seconds" -timeout=10 \
    -artifact_prefix="$out/artifacts/$target-" >"$out/$target.log" 2>&1
  rc=$?
  grep -E '^(==[0-9]+==ERROR|SUMMARY|Done [0-9]+ runs)' "$out/$target.log"
  [ $rc -eq 0 ] && echo "== $target: passed" || { echo "== $target: FAILED ($rc), see $out/$target.log" >&2; status=1; }
done
exit $status
