#!/usr/bin/env bash
# The Debian package on this machine, as an administrator uses it: dpkg -i
# where no systemd runs, the files where they belong, the unit verified, the
# installed program filing a journal from a pty, dpkg -r and dpkg -P keeping
# the reports and the log; lintian on the package. Installs into the real system, so it runs as root
# and purges the package and removes what it made at the end, even on failure.
# Usage: deb_test.sh LINUX_BUILD_DIR (builds the deb target first).
set -uo pipefail

build=$(cd "${1:?usage: deb_test.sh LINUX_BUILD_DIR}" && pwd)
data=/var/lib/quellor/reports
# shellcheck source=tests/script_lib.sh
source "$(dirname "$0")/../script_lib.sh"
program=/opt/quellor
unit=/lib/systemd/system/quellor.service
machine_ini="$program/$(hostname).ini"
debug_pid=""
made=()  # folders this test brought into being, removed at the end

cleanup() {
  [[ -n $debug_pid ]] && kill "$debug_pid" 2>/dev/null
  stop_pty_printer
  dpkg -P quellor >/dev/null 2>&1
  rm -f "$machine_ini"
  ((${#made[@]} == 0)) || rm -rf "${made[@]}"
  rm -rf "$work"
}

logged() { "$@" >>"$work/dpkg.log" 2>&1; }

[[ $(id -u) == 0 ]] || { echo "FAIL: deb_test installs a package: run it as root"; exit 1; }
marker='; written by deb_test'
if dpkg-query -W -f='${Status}' quellor 2>/dev/null | grep -q ' installed$'; then
  if ! grep -qxF "$marker" "$machine_ini" 2>/dev/null; then
    echo "FAIL: quellor is installed on this machine; deb_test would replace it"
    exit 1
  fi
  dpkg -P quellor >/dev/null 2>&1  # left by a run that was killed
  rm -f "$machine_ini"
fi
for folder in "$program" /var/lib/quellor; do [[ -e $folder ]] || made+=("$folder"); done
work=$(mktemp -d /tmp/quellor-deb.XXXXXX)
trap cleanup EXIT
touch "$work/start"
# A per-machine settings file wins over the package's sample and is not the
# package's: the conffile stays as shipped. Written first, it marks the
# package as this test's until the end.
mkdir -p "$program"
printf '%s\n' "$marker" '[Quellor Service]' 'EndOfFileTimeInterval=1000' >"$machine_ini"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb="$build/quellor_${version}_amd64.deb"
cmake --build "$build" --target deb >/dev/null 2>&1
[[ -f $deb ]] || { echo "FAIL: the deb target makes no $(basename "$deb")"; exit 1; }

check "lintian finds neither errors nor warnings" logged lintian --fail-on error,warning "$deb"

# ---- Install ---------------------------------------------------------------
check "dpkg -i $(basename "$deb") succeeds without systemd running" \
  logged dpkg -i "$deb"
check "the program is /opt/quellor/QuellorService" test -x "$program/QuellorService"
check "the sample settings file is a conffile" \
  grep -q "^ $program/QuellorService.ini " <(dpkg-query -W -f='${Conffiles}\n' quellor)
check "the unit is $unit" test -f "$unit"
check "the unit is enabled for multi-user.target" \
  test "$(readlink /etc/systemd/system/multi-user.target.wants/quellor.service)" = "$unit"
check "the reports' folder is $data" test -d "$data"
mkdir "$work/units"
QUELLOR_SYSTEMD_DIR="$work/units" "$program/QuellorService" -install >/dev/null
check "the unit is the one -install writes for the program" \
  cmp -s <(grep -v '^#' "$unit") <(grep -v '^#' "$work/units/quellor.service")
check "systemd-analyze verify accepts the unit" systemd-analyze verify "$unit"

# ---- The installed program on a pty -----------------------------------------
start_pty_printer ""
echo "CommDevice=$pty_path" >>"$machine_ini"
"$program/QuellorService" -debug </dev/null >"$work/debug.out" 2>&1 &
debug_pid=$!
sleep 1
printf 'PROCESS ALARM JOURNAL\r\nFIC101 HIGH ALARM\r\n' >&7
report=$(wait_for_report 'ProcessAlarmJournal_*.xml' 20 -newer "$work/start")
check "-debug files a journal under $data" test -n "$report"
kill -TERM "$debug_pid"
wait "$debug_pid"
debug_pid=""
check "the log is $program/QuellorService.log" \
  grep -q 'Quellor Service started' "$program/QuellorService.log"

# ---- Remove, then purge -----------------------------------------------------
check "dpkg -r quellor succeeds" logged dpkg -r quellor
check "the program and the unit are removed" test ! -e "$program/QuellorService" -a ! -e "$unit"
check "the settings file stays after dpkg -r" test -f "$program/QuellorService.ini"
check "dpkg -P quellor succeeds" logged dpkg -P quellor
check "the purge removes the settings file" test ! -e "$program/QuellorService.ini"
check "the purge removes the enablement" \
  test ! -L /etc/systemd/system/multi-user.target.wants/quellor.service
check "the reports stay" test -f "$report" -a -f "$(dirname "$report")/dir.xml"
check "the log stays" grep -q 'Service stopped' "$program/QuellorService.log"

((failures == 0)) || cat "$work/dpkg.log"
finish deb_test
