#!/usr/bin/env bash
# CPU the service spends on a 64 MiB job received over loopback TCP
# (CommDevice=tcp-listen:) against the same job from a pty, from the first
# byte until the job is filed. Prints both in clock ticks and their ratio.
# Usage: bench/network_input_cpu.sh [build/linux/QuellorService]
set -euo pipefail
exe=$(realpath "${1:-build/linux/QuellorService}")
work=$(mktemp -d /tmp/quellor-bench-XXXXXX)
trap 'kill "${pid:-0}" 2>/dev/null || true; rm -rf "$work"' EXIT

# The service's user + system CPU ticks once it has been idle for a second.
settled_ticks() {
  local before after
  after=$(awk '{print $14 + $15}' "/proc/$1/stat")
  while :; do
    sleep 1
    before=$after
    after=$(awk '{print $14 + $15}' "/proc/$1/stat")
    [[ $after == "$before" ]] && break
  done
  echo "$after"
}

# Runs the service on device; the python snippet feeds the job. Prints ticks.
run() {
  local device=$1 feeder=$2
  rm -rf "$work/run" && mkdir -p "$work/run/reports"
  cp "$exe" "$work/run/QuellorService"
  printf '[Quellor Service]\r\nDataFolder=%s\r\nEndOfFileTimeInterval=1000\r\nCommDevice=%s\r\n' \
    "$work/run/reports" "$device" >"$work/run/QuellorService.ini"
  "$work/run/QuellorService" >/dev/null 2>&1 &
  pid=$!
  sleep 1
  local start
  start=$(settled_ticks "$pid")
  python3 -c "$feeder"
  local end
  end=$(settled_ticks "$pid")
  kill "$pid"
  wait "$pid" || true
  echo $((end - start))
}

job='import sys
line = b" 12:00:00  TAG4711 VALUE 42.0 < LIMIT 40.0\r\n"
job = b"\r\n  PROCESS ALARM JOURNAL        PAGE 1\r\n" + line * (64 * 1024 * 1024 // len(line))
'
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
tcp=$(run "tcp-listen:$port" "$job
import socket, time
for _ in range(50):
    try:
        s = socket.create_connection((\"127.0.0.1\", $port)); break
    except OSError: time.sleep(0.1)
s.sendall(job); s.close()")

# A helper holds the pty's master and writes the job into it on a sign.
python3 -c "$job
import os, pty, time
master, slave = pty.openpty()
print(os.ttyname(slave), flush=True)
while not os.path.exists(\"$work/go\"): time.sleep(0.05)
view = memoryview(job)
while view: view = view[os.write(master, view[:65536]):]
open(\"$work/sent\", \"w\").close()
time.sleep(3600)" >"$work/pty-name" &
holder=$!
while [[ ! -s $work/pty-name ]]; do sleep 0.1; done
pty_ticks=$(run "$(cat "$work/pty-name")" "import os, time
open(\"$work/go\", \"w\").close()
while not os.path.exists(\"$work/sent\"): time.sleep(0.05)")
kill "$holder"
echo "64 MiB job: tcp-listen ${tcp} ticks, pty ${pty_ticks} ticks"
awk -v t="$tcp" -v p="$pty_ticks" 'BEGIN { printf "CPU ratio tcp/pty: %.2f\n", (p > 0 ? t / p : 0) }'
