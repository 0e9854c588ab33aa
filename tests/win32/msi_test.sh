#!/usr/bin/env bash
# The Windows Installer package under Wine, as an administrator deploys it:
# a quiet install, the service started and filing a journal printed on COM1,
# net stop, an upgrade to a higher version, and a quiet removal; the
# settings file, the log and the reports outlive both.
# Usage: msi_test.sh WINDOWS_BUILD_DIR (builds the msi target first).
set -uo pipefail

build=$(cd "${1:?usage: msi_test.sh WINDOWS_BUILD_DIR}" && pwd)
work=$(mktemp -d /tmp/quellor-msi.XXXXXX)
data="$work/data"
# shellcheck source=tests/win32/wine_lib.sh
source "$(dirname "$0")/wine_lib.sh"
program="$WINEPREFIX/drive_c/Program Files/Quellor"
services='HKLM\SYSTEM\CurrentControlSet\Services\Quellor'
uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
installed=""  # the msi last installed

cleanup() {
  [[ -n $installed ]] && w msiexec /x "$(windows_path "$installed")" /qn >/dev/null
  stop_printer
  rm -rf "$program" "$work"
}
trap cleanup EXIT

msi_install() {  # msiexec /i or /x, quiet; true on success
  timeout 120 wine msiexec "$1" "$(windows_path "$2")" /qn >/dev/null 2>&1
}
# Versions of the installed products named "Quellor Service", one a line.
product_versions() {
  w reg query "$uninstall" /s | awk '
    function done() { if (ours) print version; ours = 0; version = "" }
    /^HKEY/ { done() }
    /^ +DisplayName +REG_SZ +Quellor Service$/ { ours = 1 }
    $1 == "DisplayVersion" { version = $3 }
    END { done() }'
}
print_journal() { printf '%s JOURNAL\r\nFIC101 HIGH ALARM\r\n' "$1" >&7; }

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
msi="$build/QuellorService-$version-x64.msi"
cmake --build "$build" --target msi >/dev/null
[[ -f $msi ]] || { echo "FAIL: the msi target makes no $(basename "$msi")"; exit 1; }
ensure_prefix
start_printer
msi_install /x "$msi"  # a leftover of an aborted run
rm -rf "$program"

# ---- Install ---------------------------------------------------------------
check "msiexec /i $(basename "$msi") /qn succeeds" msi_install /i "$msi"
installed=$msi
for file in QuellorService.exe QuellorService.ini INSTALL.txt; do
  check "it installs Program Files\\Quellor\\$file" test -f "$program/$file"
done
check "the service is \"Quellor Service\", own process, automatic start" \
  test "$(w reg query "$services" | grep -cE 'DisplayName +REG_SZ +Quellor Service$|Start +REG_DWORD +0x2$|Type +REG_DWORD +0x10$')" = 3
check "Parameters\\TimerInterval = 10000" \
  grep -Eq 'TimerInterval +REG_SZ +10000$' <<<"$(w reg query "$services\\Parameters")"
check "version $version is registered" test "$(product_versions)" = "$version"
check "the program's version resource says $version" \
  grep -qx "$version" <(strings -el "$program/QuellorService.exe" | grep -A1 -x ProductVersion)

# ---- An engineer's settings, a start and a journal --------------------------
mkdir -p "$data"
printf '%s\r\n' '[Quellor Service]' "DataFolder=$(windows_path "$data")" \
  'EndOfFileTimeInterval=1000' 'CommPort=1' >"$program/QuellorService.ini"
cp "$program/QuellorService.ini" "$work/edited.ini"
w net start Quellor >/dev/null
check "net start Quellor reaches RUNNING" controller wait RUNNING 30
print_journal 'PROCESS ALARM'
check "a journal printed on COM1 is filed" test -n "$(wait_for_report 'ProcessAlarmJournal_*.xml' 20)"
w net stop Quellor >/dev/null
check "net stop Quellor reaches STOPPED" controller wait STOPPED 30

# ---- Upgrade to a higher version ------------------------------------------------
IFS=. read -r major minor patch <<<"$version"
next="$major.$minor.$((patch + 1))"
mkdir -p "$work/next"
cp "$build/packaging/QuellorService/"* "$work/next/"
echo "; the sample of version $next" >>"$work/next/QuellorService.ini"
echo "Version $next" >>"$work/next/INSTALL.txt"
echo "Version $next" >>"$work/next/QuellorService.exe"  # past its image: it still runs
bash "$(dirname "$0")/../../packaging/windows/build-msi.sh" "$next" "$work/next" \
  "$work/QuellorService-$next-x64.msi" >/dev/null 2>&1
# After net stop, as an administrator upgrades: Wine's installer cannot
# replace a program that is still ending (it would under Windows, which waits).
wait_for_exit
check "msiexec /i of version $next over $version succeeds" msi_install /i "$work/QuellorService-$next-x64.msi"
installed="$work/QuellorService-$next-x64.msi"
check "only version $next is registered" test "$(product_versions)" = "$next"
check "the upgrade leaves the service installed" controller wait STOPPED 5
check "the upgrade replaces the program" cmp -s "$work/next/QuellorService.exe" "$program/QuellorService.exe"
check "the upgrade replaces the install note" grep -qx "Version $next" <(tr -d '\r' <"$program/INSTALL.txt")
check "the upgrade keeps the edited settings file" cmp -s "$work/edited.ini" "$program/QuellorService.ini"
check "the upgrade keeps the log" grep -q 'Quellor Service started' "$program/QuellorService.log"
check "the upgrade keeps the reports" test -n "$(find "$data" -name 'ProcessAlarmJournal_*.xml')"
w net start Quellor >/dev/null
controller wait RUNNING 30 >/dev/null
print_journal 'SYSTEM ERROR'
check "after the upgrade the edited settings are in force" \
  test -n "$(wait_for_report 'SystemErrorJournal_*.xml' 20)"

# ---- Removal ------------------------------------------------------------------
# Wine's installer does not delete a program that is still running, which a
# service is for a moment after it reports STOPPED.
w net stop Quellor >/dev/null
controller wait STOPPED 30 >/dev/null
wait_for_exit
check "msiexec /x /qn succeeds" msi_install /x "$installed"
installed=""
check "the service is removed" test "$(controller query)" = NOT_INSTALLED
check "the program is removed" test ! -e "$program/QuellorService.exe" -a ! -e "$program/INSTALL.txt"
check "the settings file stays" cmp -s "$work/edited.ini" "$program/QuellorService.ini"
check "the log stays" grep -q 'Service stopped' "$program/QuellorService.log"
check "every report stays" test "$(find "$data" -name '*Journal_*.xml' | wc -l)" = 2
check "no product is registered" test -z "$(product_versions)"

finish msi_test
