#!/usr/bin/env bash
# Runs a Windows build of the monitor under wine, on a virtual display, inside
# a private network namespace, from a program folder whose name is in no ANSI
# code page, watching 127.0.0.1 (which answers). Passes when its daily log
# beside it holds at least MIN_RECORDS records (2 by default: the start-up
# probe and the first tick), each ending in CR LF with the status 0.
#   wine_end_to_end.sh vellomar.exe
set -euo pipefail
. "$(dirname "$0")/wine_common.sh"
enter_private_namespaces "$@"
program=$1
min_records=${MIN_RECORDS:-2}
deadline_seconds=${DEADLINE_SECONDS:-$program_seconds}

start_fresh_wine with_display
cleanup_extra='stop_monitor'
set_echo_ignored 0
folder="$scratch/Čedomir Жанна/Vellomar"
mkdir -p "$folder"
cp "$program" "$folder/"
printf '; written by the end-to-end test\r\nLoopback, 127.0.0.1\r\n' >"$folder/Vellomar.ini"

count_records() {
  cat "$folder"/PING_*.txt 2>/dev/null | grep -c '' || true
}
show_found() {
  echo "records found: $(count_records)"
  ls -la "$folder"
  cat -A "$folder"/PING_*.txt 2>/dev/null || true
  echo "--- the monitor's output:"
  cat "$scratch/output" 2>/dev/null || true
}
# Asks the monitor to end, then makes it.
stop_monitor() {
  [ -n "${monitor:-}" ] || return 0
  kill "$monitor" 2>/dev/null || true
  for _ in $(seq 50); do kill -0 "$monitor" 2>/dev/null || break; sleep 0.1; done
  kill -KILL "$monitor" 2>/dev/null || true
  wait "$monitor" 2>/dev/null || true
  monitor=
}

(cd "$folder" && exec wine "./$(basename "$program")") >"$scratch/output" 2>&1 &
monitor=$!
waited=0
until [ "$(count_records)" -ge "$min_records" ]; do
  if ! kill -0 "$monitor" 2>/dev/null; then
    [ "$(count_records)" -ge "$min_records" ] && break
    fail "the monitor ended before it wrote $min_records records"
  fi
  [ "$waited" -lt $((deadline_seconds * 4)) ] || fail "timed out after $deadline_seconds s: the monitor writing $min_records records"
  sleep 0.25
  waited=$((waited + 1))
done
stop_monitor

logs=("$folder"/PING_*.txt)
# Every line: stamp, round-trip time, status 0, then CR LF.
if LC_ALL=C grep -vqP '^\d{4}/\d\d/\d\d \d\d:\d\d:\d\d,\d+,0\r$' "${logs[@]}"; then
  fail "a record is not 'yyyy/mm/dd hh:mm:ss,rtt,0' with CR LF"
fi
echo "end-to-end: $(count_records) records in $(basename "${logs[0]}"), beside the program in $folder:"
cat -A "${logs[@]}"
