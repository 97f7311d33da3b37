#!/usr/bin/env bash
# Runs the end-to-end tests named Unprivileged.* in a Wine session that may not
# bind ports below 1024: its wineserver (which performs every bind) runs without
# the capability, so binding port 80 fails with WSAEACCES (10013), as a port in
# a range Windows reserves for Hyper-V, WSL or Docker does. The session has a
# copy of the bench's prefix and its own stand-in services, on the bench's display.
# Usage: tests/e2e/unprivileged.sh TEST_PROGRAM STAND_IN_FOLDER   (from ctest, under scripts/test.sh)
set -uo pipefail
program=$1 standins=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
: "${WINEPREFIX:?run the tests through scripts/test.sh}" "${TELLURIX_WINE:?}" "${DISPLAY:?}"
dir=$(mktemp -d /tmp/tellurix-unprivileged.XXXXXX)
cp -a "$WINEPREFIX" "$dir/prefix"
: >"$dir/prefix.made"
export WINEPREFIX=$dir/prefix
# The bench's display is borrowed, never ended here.
unset TELLURIX_XVFB TELLURIX_XVFB_PID
trap 'rm -rf "$dir"' EXIT
capsh --drop=cap_net_bind_service -- -c '
  source "$1/scripts/winebench.sh"
  winebench_up "$2" "$4" >/dev/null
  "$TELLURIX_WINE" "$3" --gtest_filter="Unprivileged.*" --gtest_brief=0
  status=$?
  winebench_down
  exit $status' unprivileged "$root" "$dir" "$program" "$standins"
