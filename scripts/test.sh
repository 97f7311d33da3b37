#!/usr/bin/env bash
# Installs what is missing, builds the native and the Windows builds, and runs
# every test: native unit tests, then the end-to-end tests under Wine.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/install-deps.sh || exit 1
source scripts/winebench.sh
winebench_select
jobs=$(nproc)

echo "== Native build and unit tests"
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Release >/dev/null || exit 1
cmake --build build/native -j"$jobs" || exit 1
ctest --test-dir build/native --output-on-failure
unit=$?

echo "== Fuzzing the configuration parsers (20 s per target)"
bash scripts/fuzz.sh 20
fuzz=$?

echo "== Windows builds ($TELLURIX_WIN_BUILD runs under Wine)"
for build in win32 win64; do
  arch=i686
  [ "$build" = win64 ] && arch=x86_64
  e2e=OFF
  [ "$build" = "$TELLURIX_WIN_BUILD" ] && e2e=ON
  [ "$build" = win32 ] || [ "$e2e" = ON ] || continue
  cmake -S . -B "build/$build" -DCMAKE_TOOLCHAIN_FILE="cmake/mingw-$arch.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DTELLURIX_E2E=$e2e -DCMAKE_CROSSCOMPILING_EMULATOR="$root/scripts/wine-run" >/dev/null || exit 1
  cmake --build "build/$build" -j"$jobs" || exit 1
done

echo "== The product: one statically linked 32-bit TellurixAdmin.exe"
bash scripts/check-imports.sh build/win32/TellurixAdmin.exe
imports=$?

echo "== End-to-end tests under Wine ($WINEARCH)"
bench=$(mktemp -d /tmp/tellurix-bench.XXXXXX)
trap 'winebench_down; rm -rf "$bench"' EXIT
winebench_up "$bench" "build/$TELLURIX_WIN_BUILD"
ctest --test-dir "build/$TELLURIX_WIN_BUILD" --output-on-failure
e2e=$?

verdict() { [ "$1" = 0 ] && echo passed || echo FAILED; }
echo "== Summary: unit and parser tests $(verdict $unit), fuzzing $(verdict $fuzz)," \
  "imports $(verdict $imports), end-to-end tests $(verdict $e2e)"
[ $unit = 0 ] && [ $fuzz = 0 ] && [ $imports = 0 ] && [ $e2e = 0 ]
