#!/usr/bin/env bash
# The Windows service end to end under Wine, as an administrator runs it:
# -install (with its failure actions), net start, journals printed on COM1 (a
# pty) filed as .xml/.htm and indexed, pause/continue/control codes, the pty
# closed and a fresh one linked as COM1, net
# stop 50 ms after a report's last bytes, a start that fails on a bad setting,
# Ctrl+C of a -debug run 50 ms after a report's last bytes, two instances
# side by side on two ptys (a second process of one refused), network input
# (a listener's jobs, refused peers, a device server's dropped connection),
# one of those instances installed as its own service, -uninstall.
# Usage: service_e2e_test.sh WINDOWS_BUILD_DIR
# Uses $WINEPREFIX (created only when missing); every wait is bounded.
set -uo pipefail

build=$(cd "${1:?usage: service_e2e_test.sh WINDOWS_BUILD_DIR}" && pwd)
work=$(mktemp -d /tmp/quellor-e2e.XXXXXX)
program="$work/program"
data="$work/data"
log="$program/QuellorService.log"
installed=""
trickle_pid=""
# shellcheck source=tests/win32/wine_lib.sh
source "$(dirname "$0")/wine_lib.sh"

# True when the file holds exactly $2, its backslash escapes (\r, \t, ...) applied.
same_bytes() { cmp -s <(printf '%b' "$2") "$1"; }
# True when the file holds $2 (escapes applied) somewhere.
holds_bytes() {
  local content wanted
  content=$(cat "$1" && echo .) && wanted=$(printf '%b' "$2" && echo .)
  [[ ${content%.} == *"${wanted%.}"* ]]
}
# Index time stamp "dd Mon yyyy  hh:nn:ss" of a report file name
# Name_ddMonyy_hhnnss.xml, the year taken from its year folder.
timestamp_of() {
  local file=$1 stem year
  stem=$(basename "$file" .xml)
  year=$(basename "$(dirname "$(dirname "$file")")")
  [[ $stem =~ _([0-9]{2})([A-Za-z]{3})[0-9]{2}_([0-9]{2})([0-9]{2})([0-9]{2})$ ]] || return 1
  echo "${BASH_REMATCH[1]} ${BASH_REMATCH[2]} $year  ${BASH_REMATCH[3]}:${BASH_REMATCH[4]}:${BASH_REMATCH[5]}"
}
log_lines() { tr -d '\r' <"$log" 2>/dev/null | cut -c23-; }

cleanup() {
  [[ -n $trickle_pid ]] && kill "$trickle_pid" 2>/dev/null
  if [[ -n $installed ]]; then
    w net stop Quellor >/dev/null
    w "$program/QuellorService.exe" -uninstall >/dev/null
  fi
  stop_printer
  if ((failures > 0)) && [[ -f $log ]]; then
    echo "--- QuellorService.log"
    tr -d '\r' <"$log"
  fi
  rm -rf "$work"
}
trap cleanup EXIT

for file in "$build/QuellorService.exe" "$controller_exe"; do
  [[ -f $file ]] || { echo "FAIL: $file is not built"; exit 1; }
done
ensure_prefix

# ---- The program folder, as an administrator prepares it -----------------
mkdir -p "$program" "$data"
cp "$build/QuellorService.exe" "$program/"
printf '%s\r\n' '[Quellor Service]' "DataFolder=$(windows_path "$data")" \
  'EndOfFileTimeInterval=1000' 'CommPort=1' 'Settings=19200,n,8,1' >"$program/QuellorService.ini"

# ---- A printer on COM1 ------------------------------------------------------
start_printer

# ---- Install ---------------------------------------------------------------
w "$program/QuellorService.exe" -uninstall >/dev/null  # a leftover of an aborted run
installed=yes
output=$(w "$program/QuellorService.exe" -install)
check "-install says 'Quellor Service installed successfully'" \
  grep -qx 'Quellor Service installed successfully' <<<"$output"
check "-install stores TimerInterval = 10000 under Parameters" \
  grep -Eq 'TimerInterval[[:space:]]+REG_SZ[[:space:]]+10000$' \
  <<<"$(w reg query 'HKLM\SYSTEM\CurrentControlSet\Services\Quellor\Parameters' /v TimerInterval)"
check "-install writes nothing to the log" test ! -e "$log"
event_source='HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Quellor'
source_values=$(w reg query "$event_source")
check "-install registers the event source with the program as its message file" \
  grep -Fq "EventMessageFile    REG_EXPAND_SZ    $(windows_path "$program/QuellorService.exe")" \
  <<<"$source_values"
check "-install lets the event source report every type" \
  grep -Eq 'TypesSupported[[:space:]]+REG_DWORD[[:space:]]+0x7$' <<<"$source_values"
# Wine 8 takes failure actions without keeping them, and cannot read them
# back (error 124, ERROR_INVALID_LEVEL): then this check is skipped.
actions=$(timeout 60 wine "$controller_exe" failure-actions 2>&1 | tr -d '\r')
if [[ $actions == *'failed: error 124'* ]]; then
  echo "SKIP: failure actions (this Wine cannot read them back)"
else
  check "-install sets the failure actions: restart after a minute, reset after a day" \
    test "$actions" = 'reset 86400 restart 60000 restart 60000 restart 60000'
fi

# ---- Start -----------------------------------------------------------------
w net start Quellor >/dev/null
check "net start Quellor reaches RUNNING" controller wait RUNNING 30
check "the log says 'Quellor Service started'" grep -qx 'Quellor Service started' <<<"$(log_lines)"

# ---- Two journals, filed and indexed byte for byte -------------------------
printf 'PROCESS ALARM JOURNAL        PAGE 1\r\n\r\n  FIC101 HIGH ALARM  & <ack>\r\n' >&7
alarm=$(wait_for_report 'ProcessAlarmJournal_*.xml' 20)
check "a process alarm journal is filed" test -n "$alarm"
if [[ -n $alarm ]]; then
  sleep 0.5  # the index is written right after the report files
  check "its .xml file is exact" same_bytes "$alarm" \
    '<?xml version="1.0"?>\r\n<Report><Line>\r\nPROCESS ALARM JOURNAL        PAGE 1</Line>\r\n<Line></Line>\r\n<Line>  FIC101 HIGH ALARM  &amp; &lt;ack&gt;</Line>\r\n</Report>\r\n'
  check "its .htm file is exact" same_bytes "${alarm%.xml}.htm" \
    '<html><head><title>ProcessAlarmJournal</title></head><body><pre>PROCESS ALARM JOURNAL        PAGE 1\r\n\r\n  FIC101 HIGH ALARM  &amp; &lt;ack&gt;\r\n</pre></body></html>\r\n'
  check "the month's new dir.xml is exact" same_bytes "$(dirname "$alarm")/dir.xml" \
    "<?xml version=\"1.0\"?>\r\n<Reports>\r\n<Report>\r\n<Name>ProcessAlarmJournal</Name>\r\n<Timestamp>$(timestamp_of "$alarm")</Timestamp>\r\n<File>$(basename "$alarm")</File>\r\n</Report>\r\n</Reports>\r\n\r\n"
fi

printf '\r\nSYSTEM ERROR JOURNAL\r\nCPU 2 \f RESTART\r\n' >&7
error=$(wait_for_report 'SystemErrorJournal_*.xml' 20)
check "a system error journal is filed" test -n "$error"
if [[ -n $error ]]; then
  sleep 0.5
  check "its .xml keeps the form feed" same_bytes "$error" \
    '<?xml version="1.0"?>\r\n<Report><Line>\r\n</Line>\r\n<Line>SYSTEM ERROR JOURNAL</Line>\r\n<Line>CPU 2 \f RESTART</Line>\r\n</Report>\r\n'
  entry="<Report>\r\n\t<Name>SystemErrorJournal</Name>\r\n\t<Timestamp>$(timestamp_of "$error")</Timestamp>\r\n\t<File>$(basename "$error")</File>\r\n</Report>"
  check "dir.xml gains its entry, one TAB-indented child per line" \
    holds_bytes "$(dirname "$error")/dir.xml" "$entry"
  check "dir.xml keeps the first entry" grep -q '<Name>ProcessAlarmJournal</Name>' \
    "$(dirname "$error")/dir.xml"
fi

# ---- Pause, continue, a control code ---------------------------------------
controller pause >/dev/null
check "pause reaches PAUSED" controller wait PAUSED 20
printf 'OPERATOR PROCESS CHANGE JOURNAL\r\nFIC101 SETPOINT 42.0\r\n' >&7
check "a journal received while paused is filed" \
  test -n "$(wait_for_report 'OperatorProcessChangeJournal_*.xml' 20)"
controller continue >/dev/null
check "continue reaches RUNNING" controller wait RUNNING 20
check "control 200 is taken" controller control 200
sleep 1  # the control event is handled on the service's loop

# ---- The port lost mid-report, then a fresh pty linked as COM1 -------------
printf 'SYSTEM MAINTENANCE JOURNAL\r\nDISK 1 ' >&7
sleep 0.5
lines_before=$(log_lines | wc -l)
# Wine's server holds a copy of fd 7, so the printer is ended, not starved.
exec 7>&-
kill "$feeder_pid" && wait "$feeder_pid" 2>/dev/null  # the pty is closed
check "the report cut by the loss is filed" \
  test -n "$(wait_for_report 'SystemMaintenanceJournal_*.xml' 20)"
service_pid=$(our_processes | head -n 1)
ticks() { awk '{print $14 + $15}' "/proc/$service_pid/stat"; }
before=$(ticks) && sleep 5
spent=$(($(ticks) - before))
check "no spinning while the port is away ($spent CPU ticks in 5 s)" test "$spent" -le 5
start_pty_printer 2
ln -sfn "$pty_path" "$WINEPREFIX/dosdevices/com1" # Wine resolves it at the next open
# A later Wine server start rebuilds the link from the registry: keep them alike.
w reg add 'HKLM\Software\Wine\Ports' /v COM1 /t REG_SZ /d "$pty_path" /f >/dev/null
for ((i = 0; i < 50; i++)); do log_lines | grep -q '^Port reopened: ' && break; sleep 0.2; done
new_lines=$(log_lines | tail -n +$((lines_before + 1)))
printf 'log lines since the loss:\n%s\n' "$new_lines"
check "one log line at the loss and one at the return, within 10 s" \
  test "$(wc -l <<<"$new_lines")" = 2 -a "$(tail -n 1 <<<"$new_lines" | cut -c1-15)" = 'Port reopened: '
printf 'SYSTEM MAINTENANCE JOURNAL\r\nDISK 2\r\n' >&7
maintenance_reports() { find "$data" -name 'SystemMaintenanceJournal_*.xml' | wc -l; }
for ((i = 0; i < 50; i++)); do (($(maintenance_reports) == 2)) && break; sleep 0.2; done
check "the next journal is filed" test "$(maintenance_reports)" = 2

# ---- Stop 50 ms after the last bytes of a report ---------------------------
# The stop comes from a controller already running, so that it reaches the
# service while the port's reader may still hold those bytes.
controller stop-when "$(windows_path "$work/stop")" >/dev/null &
stopper_pid=$!
printf 'OPERATOR MESSAGE JOURNAL\r\nSHIFT HANDOVER ' >&7
# Keep the line busy so that no silence can end the report before the stop.
(while true; do printf '.' >&7; sleep 0.2; done) &
trickle_pid=$!
sleep 1
kill "$trickle_pid" 2>/dev/null
installed=""
trickle_pid=""
printf ' END OF SHIFT\r\n' >&7
sleep 0.05
touch "$work/stop"
wait "$stopper_pid"
check "net stop Quellor reaches STOPPED" controller wait STOPPED 30
message=$(find "$data" -name 'OperatorMessageJournal_*.xml' | head -n 1)
check "the report being received at the stop is filed" test -n "$message"
if [[ -n $message ]]; then
  check "it holds everything received, its last bytes too" \
    grep -q '^<Line>SHIFT HANDOVER \.* END OF SHIFT</Line>$' <(tr -d '\r' <"$message")
fi

expected_order=$(printf '%s\n' 'Service paused' 'Service Continued' 'Control: 200' 'Service stopped')
check "the log has 'Service paused', 'Service Continued', 'Control: 200', 'Service stopped' in order" \
  test "$(log_lines | grep -xE 'Service paused|Service Continued|Control: 200|Service stopped')" \
  = "$expected_order"
check "'Service stopped' is the log's last line" test "$(log_lines | tail -n 1)" = 'Service stopped'
wait_for_exit
check "the service process has ended" test -z "$(our_processes)"

# ---- A start that fails on a bad setting ------------------------------------
cp "$program/QuellorService.ini" "$work/good.ini"
sed -i 's/^Settings=.*\r$/Settings=19200,x,8,1\r/' "$program/QuellorService.ini"
w net start Quellor >/dev/null
for ((i = 0; i < 50; i++)); do log_lines | grep -q '^Initialisation: \[380\] ' && break; sleep 0.2; done
check "a bad Settings is logged as 'Initialisation: [380] ...'" \
  grep -q '^Initialisation: \[380\] ' <<<"$(log_lines)"
check "the start ends within a few seconds" controller wait STOPPED 5
check "the manager shows the service-specific exit code 380" \
  test "$(controller query)" = 'STOPPED exit 1066 service-specific 380'
for ((i = 0; i < 25; i++)); do [[ -z $(our_processes) ]] && break; sleep 0.2; done
check "the failed service's process has ended" test -z "$(our_processes)"
started=$SECONDS
# Wine keeps no event log: its eventlog channel shows each event and its type.
events=$(WINEDEBUG=-all,err+eventlog,trace+eventlog timeout 60 wine "$program/QuellorService.exe" \
  2>&1 >/dev/null | tr -d '\r')
status=$?
check "started by hand with a bad setting it ends at once (exit code $status)" \
  test "$status" -ne 0 -a $((SECONDS - started)) -le 10
check "the event log gets the start as information and the error as an error" \
  grep -Pzq '(?s)trace:eventlog:ReportEventW L"Quellor Service started".*err:eventlog:ReportEventW L"Initialisation: \[380\] ' \
  <<<"$events"
cp "$work/good.ini" "$program/QuellorService.ini"

# ---- -debug in the foreground, Ctrl+C 50 ms after a report's last bytes -----
# Wine turns SIGINT into the console's Ctrl+C.
wine "$program/QuellorService.exe" -debug >/dev/null 2>&1 &
debug_pid=$!
for ((i = 0; i < 50; i++)); do
  [[ $(log_lines | tail -n 1) == 'Quellor Service started' ]] && break
  sleep 0.2
done
sleep 1  # the port opens after the log line
printf 'OPERATOR MESSAGE JOURNAL\r\nCTRL C AT 50 MS\r\n' >&7
sleep 0.05
kill -INT "$debug_pid"
for ((i = 0; i < 50; i++)); do kill -0 "$debug_pid" 2>/dev/null || break; sleep 0.2; done
kill -KILL "$debug_pid" 2>/dev/null
check "-debug: Ctrl+C 50 ms after a report's last bytes files it" \
  find "$data" -name '*.xml' -exec grep -q 'CTRL C AT 50 MS' {} +
check "-debug: Ctrl+C logs 'Service stopped' last" test "$(log_lines | tail -n 1)" = 'Service stopped'

# ---- Two instances at once, each on its own port into its own folder -------
# Instance A on COM1, B on COM2: a second pty whose printer prints on a sign.
python3 -c 'import os, pty, sys, time
master, slave = pty.openpty()
print(os.ttyname(slave), flush=True)
while not os.path.exists(sys.argv[1]): time.sleep(0.05)
os.write(master, b"SYSTEM ERROR JOURNAL\r\nINSTANCE B\r\n")
time.sleep(120)' "$work/go-b" >"$work/pty-b" &
second_printer=$!
for ((i = 0; i < 50; i++)); do [[ -s $work/pty-b ]] && break; sleep 0.1; done
ln -sfn "$(cat "$work/pty-b")" "$WINEPREFIX/dosdevices/com2"
instance_pids=()
for name in A B; do
  mkdir -p "$work/data_$name"
  printf '%s\r\n' '[Quellor Service]' "DataFolder=$(windows_path "$work/data_$name")" \
    'EndOfFileTimeInterval=1000' "CommPort=$([[ $name == A ]] && echo 1 || echo 2)" \
    >"$program/QuellorService_$name.ini"
  wine "$program/QuellorService.exe" -debug "$name" >/dev/null 2>&1 &
  instance_pids+=($!)
done
both_started() { grep -qs 'Quellor Service started' "$program/QuellorService_A.log" &&
  grep -qs 'Quellor Service started' "$program/QuellorService_B.log"; }
for ((i = 0; i < 100; i++)); do both_started && break; sleep 0.2; done
sleep 1  # the ports open after the log lines
output=$(timeout 60 wine "$program/QuellorService.exe" -debug A 2>&1 | tr -d '\r')
check "a second process of instance A ends at once, saying why" \
  grep -q 'Quellor Service (A) runs already in another process' <<<"$output"
printf 'PROCESS ALARM JOURNAL\r\nINSTANCE A\r\n' >&7
touch "$work/go-b"
for ((i = 0; i < 100; i++)); do
  [[ -n $(find "$work/data_A" "$work/data_B" -name '*.xml' ! -name dir.xml) ]] && sleep 2 && break
  sleep 0.2
done
check "instance A files its journal in its own folder" \
  test "$(find "$work/data_A" -name '*Journal_*.xml' -printf '%f\n' | cut -d_ -f1)" = ProcessAlarmJournal
check "instance B files its journal in its own folder" \
  test "$(find "$work/data_B" -name '*Journal_*.xml' -printf '%f\n' | cut -d_ -f1)" = SystemErrorJournal
kill -INT "${instance_pids[@]}"
for ((i = 0; i < 50; i++)); do kill -0 "${instance_pids[@]}" 2>/dev/null || break; sleep 0.2; done
kill -KILL "${instance_pids[@]}" "$second_printer" 2>/dev/null
wait "$second_printer" 2>/dev/null
rm -f "$WINEPREFIX/dosdevices/com2"

# ---- Network input: a raw network printer and a device server ---------------
# Instance N listens; instance D reads a device server that drops its
# connection mid-journal and takes the next one.
reports_in() { find "$1" -name '*Journal_*.xml' | sort; }
pages() { for report in $(reports_in "$1"); do cat "${report%.xml}.htm"; done; }
# The .htm page of a report titled $1 holding $2 (escapes applied).
page_of() { printf '<html><head><title>%s</title></head><body><pre>%b</pre></body></html>\r\n' "$1" "$2"; }
instance_log() { tr -d '\r' <"$program/QuellorService_$1.log" 2>/dev/null | cut -c23-; }
python3 -c 'import socket, time
server = socket.create_server(("127.0.0.1", 0))
print(server.getsockname()[1], flush=True)
line = server.accept()[0]
line.sendall(b"PROCESS ALARM JOURNAL\r\nDEVICE SERVER PART 1\r\n")
line.close()  # before the silence ends the journal
line = server.accept()[0]
line.sendall(b"SYSTEM ERROR JOURNAL\r\nDEVICE SERVER PART 2\r\n")
time.sleep(60)' >"$work/server-port" &
device_server=$!
for ((i = 0; i < 50; i++)); do [[ -s $work/server-port ]] && break; sleep 0.1; done
device_n="tcp-listen:127.0.0.1:$(python3 -c 'import socket; print(socket.create_server(("127.0.0.1", 0)).getsockname()[1])')"
device_d="tcp:127.0.0.1:$(cat "$work/server-port")"
instance_pids=()
for name in N D; do
  mkdir -p "$work/data_$name"
  printf '%s\r\n' '[Quellor Service]' "DataFolder=$(windows_path "$work/data_$name")" \
    'EndOfFileTimeInterval=1000' "CommDevice=$([[ $name == N ]] && echo "$device_n" || echo "$device_d")" \
    'AllowFrom=127.0.0.1' >"$program/QuellorService_$name.ini"
  wine "$program/QuellorService.exe" -debug "$name" >/dev/null 2>&1 &
  instance_pids+=($!)
done
# Sends jobs to N: two back to back, each ended by its connection's close,
# one ended by the silence; then two peers from 127.0.0.2, which AllowFrom
# leaves out, each waiting for its close.
net_client='import glob, socket, sys, time
port, data = int(sys.argv[1].split(":")[-1]), sys.argv[2]
def connect(source="127.0.0.1"):
    for _ in range(150):
        try:
            return socket.create_connection(("127.0.0.1", port), 5, (source, 0))
        except OSError:
            time.sleep(0.2)
def reports(count):
    for _ in range(100):
        if len(glob.glob(data + "/**/*Journal_*.xml", recursive=True)) >= count: return
        time.sleep(0.2)
for job in sys.argv[3:]:
    if job == "refused":
        assert connect("127.0.0.2").recv(1) == b""  # closed at once, before 5 s
        continue
    line = connect()
    line.sendall(job.encode())
    if "SILENCE" in job: reports(len(glob.glob(data + "/**/*Journal_*.xml", recursive=True)) + 1)
    line.close()'
check "a client sends N its jobs; refused peers are closed at once" \
  python3 -c "$net_client" "$device_n" "$work/data_N" $'PROCESS ALARM JOURNAL\r\nNETWORK JOB 1\r\n' \
  $'SYSTEM ERROR JOURNAL\r\nNETWORK JOB 2\r\n' $'OPERATOR MESSAGE JOURNAL\r\nJOB 3 ENDED BY SILENCE & <END>\r\n' refused refused
for ((i = 0; i < 150; i++)); do (($(reports_in "$work/data_D" | wc -l) == 2)) && break; sleep 0.2; done
sleep 0.5
kill -INT "${instance_pids[@]}"
for ((i = 0; i < 50; i++)); do kill -0 "${instance_pids[@]}" 2>/dev/null || break; sleep 0.2; done
kill -KILL "${instance_pids[@]}" "$device_server" 2>/dev/null
wait "$device_server" 2>/dev/null
check "a listener files each job over TCP byte for byte as its own report" \
  test "$(pages "$work/data_N")" = "$(page_of OperatorMessageJournal 'OPERATOR MESSAGE JOURNAL\r\nJOB 3 ENDED BY SILENCE &amp; &lt;END&gt;\r\n'
    page_of ProcessAlarmJournal 'PROCESS ALARM JOURNAL\r\nNETWORK JOB 1\r\n'
    page_of SystemErrorJournal 'SYSTEM ERROR JOURNAL\r\nNETWORK JOB 2\r\n')"
check "refused peers are logged once a minute" test "$(instance_log N |
  grep '^Refused')" = "Refused a connection from 127.0.0.2 to $device_n: not allowed by AllowFrom"
check "a device server's journals are filed whole across its dropped connection" \
  test "$(pages "$work/data_D")" = "$(page_of ProcessAlarmJournal 'PROCESS ALARM JOURNAL\r\nDEVICE SERVER PART 1\r\n'
    page_of SystemErrorJournal 'SYSTEM ERROR JOURNAL\r\nDEVICE SERVER PART 2\r\n')"
check "one log line at the device server's loss and one at its return" \
  test "$(instance_log D | grep -E '^Port (lost|reopened|still)')" = \
  "$(printf 'Port lost: Error reading %s: end of file\nPort reopened: %s' "$device_d" "$device_d")"

# ---- Instance N installed as a service of its own ---------------------------
w "$program/QuellorService.exe" -uninstall N >/dev/null  # a leftover of an aborted run
output=$(w "$program/QuellorService.exe" -install N)
check "-install N says 'Quellor Service (N) installed successfully'" \
  grep -qx 'Quellor Service (N) installed successfully' <<<"$output"
check "the service Quellor_N is shown as 'Quellor Service (N)'" \
  grep -Eq 'DisplayName[[:space:]]+REG_SZ[[:space:]]+Quellor Service \(N\)$' \
  <<<"$(w reg query 'HKLM\SYSTEM\CurrentControlSet\Services\Quellor_N' /v DisplayName)"
instance_state() { w sc query Quellor_N | awk '$1 == "STATE" {print $4}'; }
w net start Quellor_N >/dev/null
for ((i = 0; i < 50; i++)); do [[ $(instance_state) == RUNNING ]] && break; sleep 0.2; done
check "net start Quellor_N runs it" test "$(instance_state)" = RUNNING
python3 -c "$net_client" "$device_n" "$work/data_N" $'OPERATOR PROCESS CHANGE JOURNAL\r\nSERVICE N\r\n'
check "the service files its journal in the instance's folder" \
  test -n "$(data=$work/data_N wait_for_report 'OperatorProcessChangeJournal_*.xml' 20)"
w net stop Quellor_N >/dev/null
for ((i = 0; i < 50; i++)); do [[ $(instance_state) == STOPPED ]] && break; sleep 0.2; done
check "net stop Quellor_N stops it, 'Service stopped' last in the instance's log" \
  test "$(instance_state)/$(instance_log N | tail -n 1)" = 'STOPPED/Service stopped'
output=$(w "$program/QuellorService.exe" -uninstall N)
check "-uninstall N says 'Quellor Service (N) uninstalled successfully'" \
  grep -qx 'Quellor Service (N) uninstalled successfully' <<<"$output"
check "the event source stays while another service of the program is installed" \
  test "$(timeout 60 wine reg query "$event_source" >/dev/null 2>&1; echo $?)" -eq 0

# ---- Started by hand, then uninstall ----------------------------------------
output=$(timeout 60 wine "$program/QuellorService.exe" 2>/dev/null | tr -d '\r')
check "started by hand it says how to install or debug, and ends" \
  grep -q 'install the service with "QuellorService.exe -install" and start it with "net start Quellor".*"QuellorService.exe -debug"' \
  <<<"$output"
output=$(w "$program/QuellorService.exe" -uninstall)
check "-uninstall says 'Quellor Service uninstalled successfully'" \
  grep -qx 'Quellor Service uninstalled successfully' <<<"$output"
check "the service is gone" test "$(controller query)" = NOT_INSTALLED
check "-uninstall removes the event source" \
  test "$(timeout 60 wine reg query "$event_source" >/dev/null 2>&1; echo $?)" -ne 0
installed=""

timeout 30 wineserver -k 2>/dev/null
timeout 30 wineserver -w 2>/dev/null
check "nothing is left running" test -z "$(our_processes)"

# ---- German regional settings, in the foreground ----------------------------
# In March the file name, the index time stamp and the log stamp carry "Mär"
# (the log in code page 1252, the index as UTF-8); the month folder stays "Mar".
rm -rf "${data:?}"/* "$log"
LC_ALL=de_DE.UTF-8 QUELLOR_TEST_CLOCK='2026-03-15 10:20:00' \
  timeout 120 wine "$program/QuellorService.exe" -debug >/dev/null 2>&1 &
for ((i = 0; i < 150; i++)); do grep -q 'Quellor Service started' "$log" 2>/dev/null && break; sleep 0.2; done
sleep 1  # the port opens after the log line
printf 'PROCESS ALARM JOURNAL\r\nFIC101 HIGH ALARM\r\n' >&7
german=$(wait_for_report 'ProcessAlarmJournal_*.xml' 30)
sleep 0.5
check "in German the report is filed under 2026/Mar as ..._15Mär26_1020ss.xml" \
  grep -q '/2026/Mar/ProcessAlarmJournal_15Mär26_1020[0-9][0-9]\.xml$' <<<"$german"
check "its index entry holds 'Mär' as UTF-8" \
  env LC_ALL=C grep -qF $'<Timestamp>15 M\xc3\xa4r 2026  10:20:' "$data/2026/Mar/dir.xml"
check "the index is still well-formed XML" \
  python3 -c 'import sys, xml.dom.minidom; xml.dom.minidom.parse(sys.argv[1])' "$data/2026/Mar/dir.xml"
check "the log stamp is '15-Mär-2026 10:20:..' in code page 1252" \
  env LC_ALL=C grep -qF $'15-M\xe4r-2026 10:20:' "$log"
timeout 30 wineserver -k 2>/dev/null
timeout 30 wineserver -w 2>/dev/null

finish service_e2e_test
