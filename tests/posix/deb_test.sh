#!/usr/bin/env bash
# The Debian package on this machine, as an administrator uses it: dpkg -i
# where no systemd runs, the files where Debian puts them, the unit verified
# and rated, the installed program run as the unit runs it filing a journal
# from a pty, an upgrade keeping an edited conffile, dpkg -r and dpkg -P
# keeping the reports and the log; lintian on the package. Installs into the
# real system, so it runs as root and purges the package and removes what it
# made (folders, the account) at the end, even on failure.
# Usage: deb_test.sh LINUX_BUILD_DIR (builds the deb target first).
set -uo pipefail

build=$(cd "${1:?usage: deb_test.sh LINUX_BUILD_DIR}" && pwd)
data=/var/lib/quellor/reports
# shellcheck source=tests/script_lib.sh
source "$(dirname "$0")/../script_lib.sh"
program=/usr/sbin/QuellorService
settings=/etc/quellor/QuellorService.ini
log=/var/log/quellor/QuellorService.log
unit=/lib/systemd/system/quellor.service
dropin=/lib/systemd/system/quellor.service.d/debian.conf
machine_ini="/etc/quellor/$(hostname).ini"
debug_pid=""
made=()  # folders this test brought into being, removed at the end
made_account=""

cleanup() {
  [[ -n $debug_pid ]] && kill "$debug_pid" 2>/dev/null
  stop_pty_printer
  dpkg -P quellor >/dev/null 2>&1
  rm -f "$machine_ini"
  ((${#made[@]} == 0)) || rm -rf "${made[@]}"
  if [[ -n $made_account ]]; then
    userdel quellor 2>/dev/null
    groupdel quellor 2>/dev/null
  fi
  rm -rf "$work"
}

logged() { "$@" >>"$work/dpkg.log" 2>&1; }
not() { ! "$@" >>"$work/dpkg.log" 2>&1; }

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
for folder in /etc/quellor /var/lib/quellor /var/log/quellor; do
  [[ -e $folder ]] || made+=("$folder")
done
getent passwd quellor >/dev/null || made_account=yes
work=$(mktemp -d /tmp/quellor-deb.XXXXXX)
trap cleanup EXIT
touch "$work/start"
# A per-machine settings file wins over the package's and is not the
# package's: the conffile stays as shipped. Written first, it marks the
# package as this test's until the end.
mkdir -p /etc/quellor
printf '%s\n' "$marker" '[Quellor Service]' 'EndOfFileTimeInterval=1000' >"$machine_ini"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb="$build/quellor_${version}_amd64.deb"
cmake --build "$build" --target deb >/dev/null 2>&1
[[ -f $deb ]] || { echo "FAIL: the deb target makes no $(basename "$deb")"; exit 1; }

lintian -I --show-overrides --fail-on error,warning "$deb" >"$work/lintian.out" 2>&1
check "lintian finds neither errors nor warnings" test $? = 0
check "lintian overrides nothing and misses no hardening or unit documentation" \
  not grep -E '^O: |hardening-|systemd-service-file-' "$work/lintian.out"

# ---- Install ---------------------------------------------------------------
check "dpkg -i $(basename "$deb") succeeds without systemd running" logged dpkg -i "$deb"
check "the programs are $program and /usr/bin/QuellorArchive" \
  test -x "$program" -a -x /usr/bin/QuellorArchive
check "the settings file $settings is a conffile" \
  grep -q "^ $settings " <(dpkg-query -W -f='${Conffiles}\n' quellor)
check "the unit is enabled for multi-user.target" \
  test "$(readlink /etc/systemd/system/multi-user.target.wants/quellor.service)" = "$unit"
check "the account quellor is in the group dialout" \
  grep -qw dialout <(id -nG quellor)
for folder in "$data" "$(dirname "$log")"; do
  check "$folder belongs to quellor" test "$(stat -c %U "$folder")" = quellor
done
mkdir "$work/units"
QUELLOR_SYSTEMD_DIR="$work/units" "$program" -install >/dev/null
check "the unit is the one -install writes for the program" \
  cmp -s <(grep -v '^#' "$unit") <(grep -v '^#' "$work/units/quellor.service")
check "systemd-analyze verify accepts the unit and its drop-in" systemd-analyze verify "$unit"
exposure=$(systemd-analyze security --offline=true "$unit" 2>/dev/null |
  sed -n 's/.*Overall exposure level for quellor.service: \([0-9.]*\).*/\1/p')
check "systemd-analyze security rates the unit 2.0 or better (${exposure:-none})" \
  awk -v e="${exposure:-99}" 'BEGIN { exit !(e <= 2.0) }'
check "logrotate accepts /etc/logrotate.d/quellor" logged logrotate -d /etc/logrotate.d/quellor

# ---- The installed program on a pty, as the unit runs it ---------------------
start_pty_printer ""
chown quellor "$pty_path"
echo "CommDevice=$pty_path" >>"$machine_ini"
# The unit's environment, its specifiers being the system's folders.
mapfile -t environment < <(sed -n 's/^Environment=//p' "$dropin" | tr ' ' '\n' |
  sed -e 's|%E|/etc|' -e 's|%L|/var/log|' -e 's|%S|/var/lib|')
env "${environment[@]}" setpriv --reuid=quellor --regid=quellor --init-groups \
  "$program" -debug </dev/null >"$work/debug.out" 2>&1 &
debug_pid=$!
sleep 1
printf 'PROCESS ALARM JOURNAL\r\nFIC101 HIGH ALARM\r\n' >&7
report=$(wait_for_report 'ProcessAlarmJournal_*.xml' 20 -newer "$work/start")
check "the account quellor files a journal under $data" test -n "$report"
# The next journal is spooled as it arrives, until its cut a second later.
printf 'OPERATOR MESSAGE JOURNAL\r\n' >&7
spooled() {
  for ((i = 0; i < 10; i++)); do
    [[ -s /var/lib/quellor/QuellorService.spool ]] && return 0
    sleep 0.1
  done
  return 1
}
check "the spool is in /var/lib/quellor" spooled
kill -TERM "$debug_pid"
wait "$debug_pid"
debug_pid=""
check "the log is $log" grep -q 'Quellor Service started' "$log"
check "nothing is written beside the program" test ! -e /usr/sbin/QuellorService.log

# ---- Upgrade to the next version --------------------------------------------
next="${version%.*}.$((${version##*.} + 1))"
dpkg-deb -R "$deb" "$work/next"
sed -i "s/^Version: .*/Version: $next/" "$work/next/DEBIAN/control"
dpkg-deb --root-owner-group -Zxz -b "$work/next" "$work/quellor_${next}_amd64.deb" >/dev/null
echo '; edited by the administrator' >>"$settings"
check "dpkg -i upgrades $version to $next" logged dpkg -i "$work/quellor_${next}_amd64.deb"
check "the upgrade installed $next" test "$(dpkg-query -W -f='${Version}' quellor)" = "$next"
check "the upgrade keeps the edited settings file" \
  grep -qxF '; edited by the administrator' "$settings"
check "the upgrade leaves no .dpkg-* files" \
  test -z "$(find /etc/quellor /etc/logrotate.d /lib/systemd/system -name '*.dpkg-*')"
check "the unit stays enabled" test -L /etc/systemd/system/multi-user.target.wants/quellor.service

# ---- Remove, then purge -----------------------------------------------------
check "dpkg -r quellor succeeds" logged dpkg -r quellor
check "the program and the unit are removed" test ! -e "$program" -a ! -e "$unit"
check "the settings file stays after dpkg -r" test -f "$settings"
check "dpkg -P quellor succeeds" logged dpkg -P quellor
check "the purge removes the settings file" test ! -e "$settings"
check "the purge removes the enablement" \
  test ! -L /etc/systemd/system/multi-user.target.wants/quellor.service
check "the reports stay" test -f "$report" -a -f "$(dirname "$report")/dir.xml"
check "the log stays" grep -q 'Service stopped' "$log"

((failures == 0)) || cat "$work/lintian.out" "$work/dpkg.log"
finish deb_test
