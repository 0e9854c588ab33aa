# shellcheck shell=bash disable=SC2154
# Shell helpers of the Windows end-to-end scripts, sourced by them: bounded
# Wine commands, the service's processes, a journal printer on COM1. The
# sourcing script sets $build (the Windows build folder), $work (its scratch
# folder) and $data (the data folder the service files into).
# shellcheck source=tests/script_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/../script_lib.sh"

export WINEPREFIX="${WINEPREFIX:-${HOME:-/root}/.wine-quellor}"
export WINEDEBUG=-all
export QUELLOR_NO_MSGBOX=1  # message boxes: their text on standard output only
controller_exe="$build/tools/service_controller/service_controller.exe"
old_com1=""

# A Wine command, bounded, with its output's CR removed.
w() { timeout 60 wine "$@" 2>/dev/null | tr -d '\r'; }
controller() { w "$controller_exe" "$@"; }
windows_path() { echo "Z:${1//\//\\}"; }
# Makes the Wine prefix when it is missing.
ensure_prefix() {
  [[ -d $WINEPREFIX ]] && return
  timeout 300 wineboot -i >/dev/null 2>&1
  timeout 120 wineserver -w
}
# The processes of this prefix whose command line names the program.
our_processes() {
  local pid
  for pid in $(pgrep -f 'QuellorService.exe'); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && echo "$pid"
  done
}

# Waits up to 10 seconds for the service's process to end.
wait_for_exit() {
  for ((i = 0; i < 50; i++)); do
    [[ -z $(our_processes) ]] && return 0
    sleep 0.2
  done
  return 1
}

# A printer on COM1 (start_pty_printer). The Wine server is restarted to take
# the mapping and kept alive (-p) so that a service outlives the Wine commands
# that start it.
start_printer() {
  start_pty_printer ""
  old_com1=$(w reg query 'HKLM\Software\Wine\Ports' /v COM1 | awk '$1 == "COM1" {print $3}')
  w reg add 'HKLM\Software\Wine\Ports' /v COM1 /t REG_SZ /d "$pty_path" /f >/dev/null
  timeout 30 wineserver -k 2>/dev/null
  timeout 30 wineserver -w 2>/dev/null
  wineserver -p 2>/dev/null  # it dumps its objects to stderr when a pty hangs up
}

# Gives COM1 its old mapping back, unplugs the printer and ends Wine.
stop_printer() {
  if [[ -n $old_com1 ]]; then
    w reg add 'HKLM\Software\Wine\Ports' /v COM1 /t REG_SZ /d "$old_com1" /f >/dev/null
  else
    w reg delete 'HKLM\Software\Wine\Ports' /v COM1 /f >/dev/null
  fi
  stop_pty_printer
  timeout 30 wineserver -k 2>/dev/null
  timeout 30 wineserver -w 2>/dev/null
}
