#!/usr/bin/env bash
# Runs a Windows build of the monitor under wine, on a virtual display, inside
# a private network namespace, from a program folder whose name is in no ANSI
# code page, watching 127.0.0.1 (which answers). Passes when its daily log
# beside it holds at least MIN_RECORDS records (2 by default: the start-up
# probe and the first tick), each ending in CR LF with the status 0, with a
# companion record under each stamp that says there is no next hop; and when
# a second monitor, watching a host behind a gateway of the namespace's own
# routing table, writes that gateway as each companion record's next hop.
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
companion_records() {  # the companion records, with the next hop they name, beside every record
  [ "$(cut -d, -f1 "$folder"/PING_*.txt)" = "$(cut -d, -f1 "$folder"/GATEWAY_*.txt)" ] &&
    ! LC_ALL=C grep -vqP '^\d{4}/\d\d/\d\d \d\d:\d\d:\d\d,\d+,-?\d+,'"${1//./\\.}"'\r$' "$folder"/GATEWAY_*.txt
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

run_monitor() {
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
  # The companion record follows its record within the echo's time-out.
  for _ in $(seq 40); do
    [ "$(cat "$folder"/GATEWAY_*.txt 2>/dev/null | grep -c '')" -ge "$(count_records)" ] && break
    sleep 0.25
  done
  stop_monitor
}
run_monitor
logs=("$folder"/PING_*.txt)
# Every line: stamp, round-trip time, status 0, then CR LF.
if LC_ALL=C grep -vqP '^\d{4}/\d\d/\d\d \d\d:\d\d:\d\d,\d+,0\r$' "${logs[@]}"; then
  fail "a record is not 'yyyy/mm/dd hh:mm:ss,rtt,0' with CR LF"
fi
echo "end-to-end: $(count_records) records in $(basename "${logs[0]}"), beside the program in $folder:"
cat -A "${logs[@]}"
companion_records "" || { cat -A "$folder"/GATEWAY_*.txt; fail "a companion record is missing or names a next hop toward 127.0.0.1"; }
echo "beside them, in $(basename "$folder"/GATEWAY_*.txt):"
cat -A "$folder"/GATEWAY_*.txt

# A host behind a gateway on a link of the namespace's own: neither exists, so
# the records say "unreachable" or time out, but the next hop is the gateway.
ip link add wv0 type veth peer name wv1
ip addr add 192.0.2.1/24 dev wv0
ip link set wv1 up
ip link set wv0 up
ip route add 198.51.100.0/24 via 192.0.2.254
folder="$scratch/behind a gateway"
mkdir -p "$folder"
cp "$program" "$folder/"
printf 'Daleč, 198.51.100.7\r\n' >"$folder/Vellomar.ini"
run_monitor
companion_records 192.0.2.254 || { cat -A "$folder"/*_*.txt; fail "a companion record does not name the gateway"; }
echo "behind a gateway: $(count_records) records, and beside them:"
cat -A "$folder"/GATEWAY_*.txt
