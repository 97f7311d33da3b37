#!/usr/bin/env bash
# Counts code lines: non-blank lines that are not only a comment, in .cpp, .h,
# .sh and .py files. Product: the program, its tool, resources and demo stack;
# tests: tests/. Prints both counts and the tests' share.
set -euo pipefail
cd "$(dirname "$0")/.."
count() {
  local files
  files=$(find "$@" -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.sh' -o -name '*.py' \) 2>/dev/null)
  [ -n "$files" ] || { echo 0; return; }
  # '//' comments in C++, '#' comments in scripts (but not #include, #pragma, #!...).
  echo "$files" | xargs cat | grep -v '^[[:space:]]*$' | grep -v '^[[:space:]]*//' |
    grep -Ev '^[[:space:]]*#([[:space:]]|$)' | wc -l
}
product=$(count app servers core ui dialogs about tools resources demo)
tests=$(count tests)
share=$(awk -v p="$product" -v t="$tests" 'BEGIN { printf "%.2f", t / p }')
all=$(awk -v p="$product" -v t="$tests" 'BEGIN { printf "%.0f", 100 * t / (p + t) }')
echo "Code lines: product $product, tests $tests (tests/product $share, $all% of all code)"
