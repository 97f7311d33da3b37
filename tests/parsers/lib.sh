# Shared by the parser tests: each test writes a copy of a demo stack file with
# tellurix-conf and has the real server program read the result.
#
# A test is run as: bash TEST.sh TELLURIX_CONF SOURCE_DIR
# Exit status: 0 passed, 1 failed, 77 skipped (the parser program is missing).

set -uo pipefail

if [ $# -ne 2 ]; then
  echo "usage: bash $0 TELLURIX_CONF SOURCE_DIR" >&2
  exit 2
fi
conf=$1
src=$2
failures=0
tmp=$(mktemp -d /tmp/tellurix-parsers.XXXXXX)
trap 'rm -rf "$tmp"' EXIT

# Skips the test (ctest SKIP_RETURN_CODE 77) when a program it needs is absent.
need_program() {  # PATH_OR_NAME PACKAGE
  if ! command -v "$1" >/dev/null 2>&1; then
    echo "SKIP: $1 is not installed (Debian package $2)"
    exit 77
  fi
}

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

pass() { echo "ok: $*"; }

expect_eq() {  # WHAT EXPECTED ACTUAL
  if [ "$2" == "$3" ]; then
    pass "$1"
  else
    fail "$1"
    echo "  expected: $(printf '%q' "$2")"
    echo "  actual:   $(printf '%q' "$3")"
  fi
}

# A demo stack file copied to the temp dir, with the placeholder @STACK@ made
# the absolute path "$tmp/stack".
stage() {  # DEMO_RELATIVE_PATH DEST
  sed "s#@STACK@#$tmp/stack#g" "$src/demo/stack/$1" >"$2" || { echo "cannot copy $1"; exit 1; }
}

# Runs tellurix-conf and expects exit status 0 and the given standard output.
conf_ok() {  # EXPECTED_STDOUT ARGS...
  local expected=$1 out status
  shift
  out=$("$conf" "$@" 2>"$tmp/conf.err")
  status=$?
  if [ $status -ne 0 ]; then
    fail "tellurix-conf $* exited $status: $(cat "$tmp/conf.err")"
  else
    expect_eq "tellurix-conf $*" "$expected" "$out"
  fi
}

# Every line ends with CR LF: no line with a bare LF, no CR elsewhere, and a
# final line break.
expect_crlf() {  # FILE
  local lines crlf crs
  lines=$(tr -cd '\n' <"$1" | wc -c)
  crlf=$(grep -c $'\r$' "$1")
  crs=$(tr -cd '\r' <"$1" | wc -c)
  if [ "$lines" -gt 0 ] && [ "$crlf" -eq "$lines" ] && [ "$crs" -eq "$lines" ] && [ "$(tail -c 2 "$1" | od -An -c | tr -d ' ')" == '\r\n' ]; then
    pass "$(basename "$1") still ends every one of its $lines lines with CR LF"
  else
    fail "$(basename "$1"): $lines line feeds, $crlf lines ending in CR LF, $crs carriage returns"
  fi
}

# The lines of NEW that differ from ORIG, as "NUMBER: TEXT" with the CR of the
# line break dropped; a different number of lines is reported as such.
changed_lines() {  # ORIG NEW
  awk 'NR == FNR { old[FNR] = $0; n = FNR; next }
       { m = FNR; if (!(FNR in old) || old[FNR] != $0) { t = $0; sub(/\r$/, "", t); print FNR ": " t } }
       END { if (m != n) print "line count " n " -> " m }' "$1" "$2"
}

# The number of the first line of FILE that is exactly TEXT followed by CR LF.
line_of() {  # FILE TEXT
  grep -nFx -- "$2"$'\r' "$1" | head -n 1 | cut -d: -f1
}

finish() {
  if [ $failures -eq 0 ]; then
    echo "PASSED"
    exit 0
  fi
  echo "FAILED: $failures check(s)"
  exit 1
}
