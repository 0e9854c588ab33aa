# shellcheck shell=bash disable=SC2154
# Shell helpers of the end-to-end test scripts, sourced by them: checks and
# their verdict, a journal printer on a pseudo-terminal, report waits. The
# sourcing script sets $work (its scratch folder) and $data (the data folder
# the service files into).

failures=0
feeder_pid=""

pass() { echo "PASS: $*"; }
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
check() {
  local what=$1
  shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}
# Ends the script with its verdict.
finish() {
  if ((failures > 0)); then
    echo "FAIL: $1 ($failures failed)"
    exit 1
  fi
  echo "PASS: $1"
}
# Waits up to $2 seconds for a file matching the find pattern $1 under $data
# (and the further find tests given after it); prints its path.
wait_for_report() {
  local pattern=$1 seconds=$2 found
  shift 2
  for ((i = 0; i < seconds * 5; i++)); do
    found=$(find "$data" -name "$pattern" "$@" 2>/dev/null | head -n 1)
    [[ -n $found ]] && echo "$found" && return 0
    sleep 0.2
  done
  return 1
}
# A printer: a pty whose slave is $pty_path and whose master the script
# writes through file descriptor 7; $1, if given, names a further printer's
# files.
start_pty_printer() {
  local name=${1:-}
  mkfifo "$work/line$name"
  python3 - "$work/line$name" >"$work/pty$name" <<'PY' &
import os, pty, select, sys, tty
master, slave = pty.openpty()
tty.setraw(slave)
print(os.ttyname(slave), flush=True)
line = os.open(sys.argv[1], os.O_RDONLY)
while True:
    ready, _, _ = select.select([line, master], [], [])
    if master in ready:
        os.read(master, 4096)  # whatever the port sends back is dropped
    if line in ready:
        data = os.read(line, 4096)
        if not data:
            break
        os.write(master, data)
PY
  feeder_pid=$!
  exec 7>"$work/line$name"
  pty_path=$(head -n 1 "$work/pty$name")
  [[ $pty_path == /dev/pts/* ]] || { echo "FAIL: no pty"; exit 1; }
}

stop_pty_printer() {
  exec 7>&- 2>/dev/null
  [[ -n $feeder_pid ]] && kill "$feeder_pid" 2>/dev/null
  feeder_pid=""
}
