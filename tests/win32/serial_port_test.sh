#!/usr/bin/env bash
# The Windows serial port on a real line under Wine: a pseudo-terminal mapped
# to COM7 carries bytes of every value, written in pieces, and the port must
# hand each one over unchanged through OnComm on the loop thread, then close
# and reopen; then the pty goes away (one read error, no spinning) and the
# port, reopened, reads the fresh pty the link names. Usage: serial_port_test.sh WINDOWS_BUILD_DIR
# Uses $WINEPREFIX; the COM7 mapping is removed again at the end.
set -uo pipefail

build=$(cd "${1:?usage: serial_port_test.sh WINDOWS_BUILD_DIR}" && pwd)
port=7
work=$(mktemp -d /tmp/quellor-serial.XXXXXX)
# shellcheck source=tests/win32/wine_lib.sh
source "$(dirname "$0")/wine_lib.sh"

set_port() {  # maps COM$port to $1, or removes the mapping when $1 is empty
  if [[ -n $1 ]]; then
    w reg add 'HKLM\Software\Wine\Ports' /v "COM$port" /t REG_SZ /d "$1" /f
  else
    w reg delete 'HKLM\Software\Wine\Ports' /v "COM$port" /f
  fi >/dev/null
  # The mapping is read when the server starts: a plain dosdevices link
  # would be overwritten.
  timeout 60 wineserver -k >/dev/null 2>&1
  timeout 60 wineserver -w >/dev/null 2>&1
}
# shellcheck disable=SC2317 # run by the EXIT trap
cleanup() {
  stop_pty_printer
  rm -f "$WINEPREFIX/dosdevices/com$port"
  set_port ""
  rm -rf "$work"
}
trap cleanup EXIT

# Every byte value, NUL, form feed and 0xB0 among them, and CR LF lines.
python3 -c '
import sys
data = bytes(range(256)) * 8 + b"".join(b"LINE %04d\r\n" % i for i in range(500))
sys.stdout.buffer.write(data)' >"$work/payload"

# The feeder holds the pty open, waits for the test to open the port, then
# writes the payload in pieces with short pauses. Then it plays an unplugged
# and replugged device: on "go.unplug" its last words and the pty closed, the
# port's link re-pointed to a fresh pty (Wine resolves it at each open, no
# server restart), "go.replugged", and on "go.back" a line on the new pty.
python3 - "$work" "$WINEPREFIX/dosdevices/com$port" <<'PY' &
import os, pty, sys, time, tty
work, link = sys.argv[1], sys.argv[2]
def wait_for(name):
    deadline = time.time() + 120
    while not os.path.exists(os.path.join(work, name)) and time.time() < deadline:
        time.sleep(0.05)
def new_pty():
    master, slave = pty.openpty()
    tty.setraw(slave)
    return master, os.ttyname(slave)
master, name = new_pty()
with open(os.path.join(work, "pty"), "w") as f:
    f.write(name)
wait_for("go")
data = open(os.path.join(work, "payload"), "rb").read()
for start in range(0, len(data), 700):
    os.write(master, data[start:start + 700])
    time.sleep(0.02)
wait_for("go.unplug")
os.write(master, b"LAST WORDS\r\n")
time.sleep(0.5)
os.close(master)
master, name = new_pty()
os.symlink(name, link + ".new")
os.rename(link + ".new", link)
open(os.path.join(work, "go.replugged"), "w").close()
wait_for("go.back")
os.write(master, b"BACK AGAIN\r\n")
time.sleep(120)
PY
feeder_pid=$!

for ((i = 0; i < 100; i++)); do [[ -s $work/pty ]] && break; sleep 0.1; done
[[ -s $work/pty ]] || { echo "FAIL: no pseudo-terminal"; exit 1; }
set_port "$(cat "$work/pty")"

QUELLOR_TEST_COM_PORT=$port \
QUELLOR_TEST_COM_PAYLOAD=$(windows_path "$work/payload") \
QUELLOR_TEST_COM_GO=$(windows_path "$work/go") \
  timeout 180 wine "$build/quellor_tests.exe" --gtest_filter='Win32SerialPortLive.*' \
  >"$work/output" 2>&1
status=$?
tr -d '\r' <"$work/output" | grep -E '^\[|Failure|Expected|Which|received' | head -40
if [[ $status -eq 0 ]] && grep -q '^\[  PASSED  \] 2 tests' <(tr -d '\r' <"$work/output"); then
  echo "PASS: serial port on a pseudo-terminal"
  exit 0
fi
echo "FAIL: serial port on a pseudo-terminal (exit $status)"
exit 1
