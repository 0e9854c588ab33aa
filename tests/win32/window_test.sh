#!/usr/bin/env bash
# The visible window under Wine on a virtual X display: the display test
# reads its controls' texts back, then holds the painted window while a
# screenshot is taken to WINDOWS_BUILD_DIR/window.png (an artefact to look
# at, not compared). Usage: window_test.sh WINDOWS_BUILD_DIR
set -uo pipefail

build=$(cd "${1:?usage: window_test.sh WINDOWS_BUILD_DIR}" && pwd)
work=$(mktemp -d /tmp/quellor-window.XXXXXX)
# shellcheck source=tests/win32/wine_lib.sh
source "$(dirname "$0")/wine_lib.sh"
xvfb_pid=""
# shellcheck disable=SC2317 # run by the EXIT trap
cleanup() {
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# A free display number: the first without a lock file.
display=90
while [[ -e /tmp/.X$display-lock ]]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for ((i = 0; i < 50; i++)); do [[ -e /tmp/.X11-unix/X$display ]] && break; sleep 0.1; done

shot="$work/painted"
DISPLAY=":$display" QUELLOR_TEST_SHOT=$(windows_path "$shot") \
  timeout 120 wine "$build/quellor_tests.exe" --gtest_filter='Win32DisplayTest.*' \
  >"$work/output" 2>&1 &
test_pid=$!
for ((i = 0; i < 600; i++)); do [[ -e $shot ]] && break; sleep 0.1; done
rm -f "$build/window.png"
[[ -e $shot ]] && timeout 30 import -display ":$display" -window root "$build/window.png"
rm -f "$shot"
wait "$test_pid"
status=$?
output=$(tr -d '\r' <"$work/output")
grep -E '^\[|Failure|Expected|Which' <<<"$output" | head -40
if [[ $status -eq 0 ]] && ! grep -q SKIPPED <<<"$output" && [[ -s $build/window.png ]]; then
  echo "PASS: window on a virtual display (screenshot: $build/window.png)"
  exit 0
fi
echo "FAIL: window on a virtual display (exit $status)"
exit 1
