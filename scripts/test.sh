#!/usr/bin/env bash
# Installs what is missing, builds the native build and both Windows builds (every
# target, tests included, for i686 and x86-64), and runs every test: native unit
# and real-parser tests, a short fuzzing run, the import check of the 32-bit
# product, and the end-to-end tests under Wine, 32-bit wherever it can start.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/install-deps.sh || exit 1
source scripts/winebench.sh
winebench_select
jobs=$(nproc)
began=$SECONDS
stage_began=$SECONDS
times=()
stage() {  # stage NAME: ends the stage before it and starts this one
  [ -n "${current:-}" ] && times+=("$current $((SECONDS - stage_began)) s")
  current=$1
  stage_began=$SECONDS
  echo "== $1"
}

# The Wine prefix takes a while to make; it is made while the builds run.
bench=$(mktemp -d /tmp/tellurix-bench.XXXXXX)
export WINEPREFIX=$bench/prefix
trap 'winebench_down; rm -rf "$bench"' EXIT
winebench_prefix "$bench" &
prefix_maker=$!

# Runs a command with its output in a log, printed whole only when it fails.
quietly() {  # quietly LOG COMMAND...
  local log=$1
  shift
  mkdir -p "$(dirname "$log")"
  "$@" >"$log" 2>&1 && return 0
  cat "$log"
  return 1
}
# Runs ctest for a build folder, printing its one-line verdict (all of it on failure).
# A skipped test fails the stage: this command installs everything every test needs,
# so a skip means something is missing that should not be.
tests_in() {
  quietly "$1/ctest.log" ctest --test-dir "$1" --output-on-failure
  local status=$?
  grep -E 'tests passed|tests failed' "$1/ctest.log"
  if grep -q '(Skipped)' "$1/ctest.log"; then
    echo "skipped, which counts as a failure:"
    grep '(Skipped)' "$1/ctest.log"
    status=1
  fi
  return $status
}

stage "Native build, unit and parser tests"
unit=1
quietly build/native.log cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Release &&
  quietly build/native.log cmake --build build/native -j"$jobs" && tests_in build/native && unit=0

stage "Fuzzing the configuration parsers (10 s per target)"
bash scripts/fuzz.sh 10
fuzz=$?

built=0
for arch in i686 x86_64; do
  stage "Windows build for $arch (product, stand-ins, end-to-end tests)"
  build=build/win32
  [ $arch = x86_64 ] && build=build/win64
  quietly "$build.log" cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="cmake/mingw-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DTELLURIX_E2E=ON -DCMAKE_CROSSCOMPILING_EMULATOR="$root/scripts/wine-run" &&
    quietly "$build.log" cmake --build "$build" -j"$jobs" || { echo "build for $arch FAILED"; built=1; }
done

stage "The product: one statically linked 32-bit TellurixAdmin.exe"
bash scripts/check-imports.sh build/win32/TellurixAdmin.exe
imports=$?

stage "End-to-end tests under $WINEARCH Wine with build/$TELLURIX_WIN_BUILD/TellurixAdmin.exe"
e2e=1
if wait $prefix_maker && [ $built = 0 ]; then
  # Always a display of its own: the tests drive real windows, which must not meet
  # the user's pointer, nor a display that $DISPLAY names but that is gone.
  TELLURIX_XVFB=1 winebench_up "$bench" "build/$TELLURIX_WIN_BUILD"
  tests_in "build/$TELLURIX_WIN_BUILD"
  e2e=$?
fi
stage done

verdict() { [ "$1" = 0 ] && echo passed || echo FAILED; }
echo "== Stage times: $(IFS=';'; echo "${times[*]}" | sed 's/;/; /g'); total $((SECONDS - began)) s"
bash scripts/code-lines.sh
exe=32-bit
[ "$TELLURIX_WIN_BUILD" = win64 ] && exe="64-bit (32-bit Wine cannot start on this kernel)"
echo "== Summary: unit and parser tests $(verdict $unit), fuzzing $(verdict $fuzz)," \
  "Windows builds i686 and x86-64 $(verdict $built), imports $(verdict $imports)," \
  "end-to-end tests $(verdict $e2e) against the $exe TellurixAdmin.exe"
[ $unit = 0 ] && [ $fuzz = 0 ] && [ $built = 0 ] && [ $imports = 0 ] && [ $e2e = 0 ]
