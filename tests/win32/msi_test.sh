#!/usr/bin/env bash
# The Windows Installer package under Wine, as an administrator deploys it:
# a quiet install with settings given as properties, which starts the
# service; a rebuild of the same version and a repair while a journal is
# being printed, which leave it running and the journal filed whole; an
# upgrade of the stopped service to a higher version; a quiet removal, after
# which the settings file, the log and the reports remain; and the refusal
# of a service installed by hand from the zip.
# Usage: msi_test.sh WINDOWS_BUILD_DIR (builds the msi and dist targets first).
set -uo pipefail

build=$(cd "${1:?usage: msi_test.sh WINDOWS_BUILD_DIR}" && pwd)
work=$(mktemp -d /tmp/quellor-msi.XXXXXX)
data="$work/data"
# shellcheck source=tests/win32/wine_lib.sh
source "$(dirname "$0")/wine_lib.sh"
program="$WINEPREFIX/drive_c/Program Files/Quellor"
services='HKLM\SYSTEM\CurrentControlSet\Services\Quellor'
event_source='HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Quellor'
uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
installed=""  # the msi last installed
eof_ms=8000   # long enough for an install to begin while a report is open

cleanup() {
  [[ -n $installed ]] && w msiexec /x "$(windows_path "$installed")" /qn >/dev/null
  [[ -f $work/zip/QuellorService.exe ]] && w "$work/zip/QuellorService.exe" -uninstall >/dev/null
  stop_printer
  rm -rf "$program" "$work"
}
trap cleanup EXIT

# msiexec with a package and options, quiet, logged to $work/msiexec.log;
# true on success.
msi_run() {
  local action=$1 package=$2
  shift 2
  timeout 180 wine msiexec "$action" "$(windows_path "$package")" /qn \
    /l*v "$(windows_path "$work/msiexec.log")" "$@" >/dev/null 2>&1
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
# True when exactly one report of the journal $1 (its file name's start) is
# filed and holds the journal's last line.
filed_whole() {
  local reports
  mapfile -t reports < <(find "$data" -name "$1_*.xml")
  [[ ${#reports[@]} == 1 ]] && grep -q 'FIC101 HIGH ALARM' "${reports[0]}"
}
# Builds $work/QuellorService-$1-x64.msi of version $1 from the staged files,
# each with a line of $2 added (past the program's image: it still runs).
build_variant() {
  mkdir -p "$work/$2"
  cp "$build/packaging/QuellorService/"* "$work/$2/"
  local file
  for file in QuellorService.ini INSTALL.txt QuellorService.exe; do
    printf '; %s\r\n' "$2" >>"$work/$2/$file"
  done
  bash "$(dirname "$0")/../../packaging/windows/build-msi.sh" "$1" "$work/$2" \
    "$build/packaging/QuellorCustomActions.dll" "$work/QuellorService-$1-$2-x64.msi" >/dev/null 2>&1
}

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
msi="$build/QuellorService-$version-x64.msi"
cmake --build "$build" --target msi dist >/dev/null
[[ -f $msi ]] || { echo "FAIL: the msi target makes no $(basename "$msi")"; exit 1; }
ensure_prefix
start_printer
msi_run /x "$msi"  # a leftover of an aborted run
rm -rf "$program"

# ---- Install, settings given as properties ----------------------------------
check "msiexec /i $(basename "$msi") /qn DATAFOLDER=... ENDOFFILETIMEINTERVAL=$eof_ms succeeds" \
  msi_run /i "$msi" DATAFOLDER="$(windows_path "$data")" ENDOFFILETIMEINTERVAL=$eof_ms
installed=$msi
for file in QuellorService.exe QuellorArchive.exe QuellorService.ini INSTALL.txt; do
  check "it installs Program Files\\Quellor\\$file" test -f "$program/$file"
done
check "the zip holds QuellorArchive.exe too" \
  grep -q QuellorService/QuellorArchive.exe <(unzip -l "$build/QuellorService-win64.zip")
check "the programs are stripped of debug sections" \
  test -z "$(x86_64-w64-mingw32-objdump -h "$program/QuellorService.exe" "$program/QuellorArchive.exe" | grep debug)"
registration=$(w reg query "$services")
check "the service is \"Quellor Service\", own process, automatic start" \
  test "$(grep -cE 'DisplayName +REG_SZ +Quellor Service$|Start +REG_DWORD +0x2$|Type +REG_DWORD +0x10$' <<<"$registration")" = 3
check "the service's path is quoted" grep -Eq 'ImagePath +REG_(EXPAND_)?SZ +"C:\\Program Files\\Quellor\\QuellorService.exe"$' <<<"$registration"
check "Parameters\\TimerInterval = 10000" \
  grep -Eq 'TimerInterval +REG_SZ +10000$' <<<"$(w reg query "$services\\Parameters")"
check "the event source's messages are in the program, all three types" \
  test "$(w reg query "$event_source" | grep -cE 'EventMessageFile +REG_(EXPAND_)?SZ +C:\\Program Files\\Quellor\\QuellorService.exe$|TypesSupported +REG_DWORD +0x7$')" = 2
check "version $version is registered" test "$(product_versions)" = "$version"
check "Add/Remove Programs has the install location and the icon" \
  test "$(w reg query "$uninstall" /s | grep -cE 'InstallLocation +REG_SZ +C:\\Program Files\\Quellor\\$')$(
    w reg query 'HKLM\Software\Classes\Installer\Products' /s | grep -cE 'ProductIcon +REG_SZ +.*QuellorService.ico$')" = 11
# Windows Installer's own tables for what Wine does not carry out.
check "the package: a vital service, restarts after 60 s reset after a day, a versioned program" \
  test "$(msiinfo export "$msi" ServiceInstall | grep -c $'\t32769\t')$(msiinfo export "$msi" MsiServiceConfigFailureActions | grep -c $'\t86400\t.*\t1\[~\]1\[~\]1\t60000\[~\]60000\[~\]60000\t')$(msiinfo export "$msi" File | grep -c $'^QuellorService.exe\t.*\t'"$version.0"$'\t')" = 111
check "the program's version resource says $version" \
  grep -qx "$version" <(strings -el "$program/QuellorService.exe" | grep -A1 -x ProductVersion)
check "the properties are written into the settings file" \
  test "$(tr -d '\r' <"$program/QuellorService.ini" | grep -cxF -e "DataFolder=$(windows_path "$data")" -e "EndOfFileTimeInterval=$eof_ms")" = 2
check "the data folder given is created" test -d "$data"
check "a first install starts the service" controller wait RUNNING 30
print_journal 'PROCESS ALARM'
check "a journal printed on COM1 is filed" test -n "$(wait_for_report 'ProcessAlarmJournal_*.xml' 20)"
printf '; edited\r\n' >>"$program/QuellorService.ini"
cp "$program/QuellorService.ini" "$work/edited.ini"

# ---- A rebuild of the same version and a repair, a journal being printed -----
build_variant "$version" rebuild
print_journal 'SYSTEM ERROR'
check "msiexec /i of a rebuild of $version over the running service succeeds" \
  msi_run /i "$work/QuellorService-$version-rebuild-x64.msi" ENDOFFILETIMEINTERVAL=1
installed="$work/QuellorService-$version-rebuild-x64.msi"
check "the rebuild upgrades in place: one product registered" test "$(product_versions)" = "$version"
check "the rebuild replaces the program" cmp -s "$work/rebuild/QuellorService.exe" "$program/QuellorService.exe"
check "the rebuild keeps the edited settings file, whatever the properties" \
  cmp -s "$work/edited.ini" "$program/QuellorService.ini"
check "after the rebuild the service is running" test "$(controller query)" = RUNNING
check "the journal printed meanwhile is filed whole, once" filed_whole SystemErrorJournal
print_journal 'OPERATOR MESSAGE'
# A repair as /fvomus does it: Wine's msiexec /f ends with exit code 69.
check "a repair (REINSTALL=ALL) over the running service succeeds" \
  msi_run /i "$installed" REINSTALL=ALL REINSTALLMODE=vomus
check "after the repair the service is running" test "$(controller query)" = RUNNING
check "the journal printed meanwhile is filed whole, once" filed_whole OperatorMessageJournal

# ---- Upgrade of the stopped service to a higher version ---------------------
w net stop Quellor >/dev/null
check "net stop Quellor reaches STOPPED" controller wait STOPPED 30
IFS=. read -r major minor patch <<<"$version"
next="$major.$minor.$((patch + 1))"
build_variant "$next" next
check "msiexec /i of version $next over $version succeeds" msi_run /i "$work/QuellorService-$next-next-x64.msi"
installed="$work/QuellorService-$next-next-x64.msi"
check "only version $next is registered" test "$(product_versions)" = "$next"
check "the upgrade leaves the stopped service stopped" controller wait STOPPED 5
check "the upgrade replaces the program" cmp -s "$work/next/QuellorService.exe" "$program/QuellorService.exe"
check "the upgrade replaces the install note" cmp -s "$work/next/INSTALL.txt" "$program/INSTALL.txt"
check "the upgrade keeps the edited settings file" cmp -s "$work/edited.ini" "$program/QuellorService.ini"
check "the upgrade keeps the log" grep -q 'Quellor Service started' "$program/QuellorService.log"
w net start Quellor >/dev/null
controller wait RUNNING 30 >/dev/null
print_journal 'SYSTEM MAINTENANCE'
check "after the upgrade the settings are in force" \
  test -n "$(wait_for_report 'SystemMaintenanceJournal_*.xml' 20)"

# ---- Removal ------------------------------------------------------------------
check "msiexec /x /qn succeeds" msi_run /x "$installed"
installed=""
check "the service is removed" test "$(controller query)" = NOT_INSTALLED
check "the event source is removed" test -z "$(w reg query "$event_source" | grep -E 'MessageFile|Types')"
check "the programs are removed" \
  test ! -e "$program/QuellorService.exe" -a ! -e "$program/QuellorArchive.exe" -a ! -e "$program/INSTALL.txt"
check "the settings file stays" cmp -s "$work/edited.ini" "$program/QuellorService.ini"
check "the log stays" grep -q 'Service stopped' "$program/QuellorService.log"
check "every report stays" test "$(find "$data" -name '*Journal_*.xml' | wc -l)" = 4
check "no product is registered" test -z "$(product_versions)"

# ---- A service installed by hand from the zip ---------------------------------
mkdir -p "$work/zip"
cp "$build/packaging/QuellorService/"* "$work/zip/"
w "$work/zip/QuellorService.exe" -install >/dev/null
refused() { ! msi_run /i "$msi"; }
check "msiexec /i refuses a service installed by hand" refused
# Wine writes no text of an error action (type 19) into the log.
check "the refusal's log names the program the service runs" \
  grep -aq "service runs .*zip.QuellorService.exe" "$work/msiexec.log"
check "the service installed by hand is left as it was" \
  grep -q 'zip.QuellorService.exe' <(w reg query "$services" /v ImagePath)
check "no product is registered after the refusal" test -z "$(product_versions)"

finish msi_test
