# Shared by the parser tests: each writes a copy of a demo stack file with tellurix-conf and has the real
# server program read the result. Run as: bash TEST.sh TELLURIX_CONF SOURCE_DIR. Exit status: 0 passed,
# 1 failed, 77 skipped (the parser program is not installed).
set -uo pipefail
conf=$1 src=$2 failures=0
tmp=$(mktemp -d /tmp/tellurix-parsers.XXXXXX)
trap 'rm -rf "$tmp"' EXIT

need() { [ -e "$1" ] || command -v "$1" >/dev/null || { echo "SKIP: $1 is missing (Debian package $2)"; exit 77; }; }

expect_eq() {  # WHAT EXPECTED ACTUAL
  if [ "$2" == "$3" ]; then echo "ok: $1"; return; fi
  failures=$((failures + 1))
  printf 'FAIL: %s\n  expected: %q\n  actual:   %q\n' "$1" "$2" "$3"
}

# A demo stack file, its placeholder @STACK@ made the absolute path "$tmp/stack".
stage() { sed "s#@STACK@#$tmp/stack#g" "$src/demo/stack/$1" >"$2" || exit 1; }

# tellurix-conf's output and exit status.
run_conf() { "$conf" "$@" 2>&1; echo "exit $?"; }

# The lines of NEW that differ from ORIG as "NUMBER: TEXT" (without the CR), a changed line count, and the
# lines of NEW that do not end in CR LF.
changed_lines() {  # ORIG NEW
  awk 'NR == FNR { old[FNR] = $0; n = FNR; next }
       { m = FNR; if (old[FNR] != $0) { t = $0; sub(/\r$/, "", t); print FNR ": " t } }
       !/\r$/ { print FNR ": no CR LF" } END { if (m != n) print "line count " n " -> " m }' "$1" "$2"
  [ "$(tail -c 1 "$2" | od -An -tx1)" == " 0a" ] || echo "no final line break"
}

finish() { [ $failures -eq 0 ] && { echo PASSED; exit 0; }; echo "FAILED: $failures check(s)"; exit 1; }
