#!/usr/bin/env bash
# Starts a Windows build of the monitor twice, a second apart, from one program
# folder under wine (virtual display, private network namespace, 127.0.0.1
# answering), and checks that one of the two ends at once and the other writes
# one record per tick; then that a start after the monitor was killed
# outright monitors again.
#   wine_one_monitor.sh vellomar.exe
set -euo pipefail
. "$(dirname "$0")/wine_common.sh"
. "$(dirname "$0")/../support/checks.sh"
enter_private_namespaces "$@"
program=$1

start_fresh_wine with_display
starts=()
cleanup_extra='kill ${starts[@]} 2>/dev/null || true'
set_echo_ignored 0
folder="$scratch/Один/Vellomar"
mkdir -p "$folder"
cp "$program" "$folder/"
printf 'Loopback, 127.0.0.1\r\n' >"$folder/Vellomar.ini"

start() {
  (cd "$folder" && exec wine "./$(basename "$program")") >>"$scratch/output" 2>&1 &
  starts+=($!)
}
records() { cat "$folder"/PING_*.txt 2>/dev/null | grep -c '' || true; }
wait_for_records() {  # COUNT SECONDS
  local i
  for i in $(seq $(($2 * 4))); do
    [ "$(records)" -ge "$1" ] && return 0
    sleep 0.25
  done
  return 1
}
running() { kill -0 "$1" 2>/dev/null; }
show_found() {
  echo "records found: $(records)"
  cat -A "$folder"/PING_*.txt 2>/dev/null || true
  echo "--- the monitors' output:"
  cat "$scratch/output" 2>/dev/null || true
}
# No two records less than five seconds apart (a tick is ten).
one_record_per_tick() {
  cat "$folder"/PING_*.txt | tr -d '\r' | awk -F'[ :,]' '
    { t = $2 * 3600 + $3 * 60 + $4; if (NR > 1 && (t - last + 86400) % 86400 < 5) bad = 1; last = t }
    END { exit bad }' || { echo "records too close:"; cat "$folder"/PING_*.txt; return 1; }
}

start
sleep 1
start
# Which of the two claimed the folder first is wine's to decide; the other ends.
survivor=""
for _ in $(seq 300); do
  alive=()
  for pid in "${starts[@]}"; do running "$pid" && alive+=("$pid"); done
  [ "${#alive[@]}" -eq 1 ] && { survivor=${alive[0]}; break; }
  sleep 0.1
done
check "one of two starts a second apart ends within 30 s" test -n "$survivor"
[ -n "$survivor" ] || fail "both starts still run"
for pid in "${starts[@]}"; do
  [ "$pid" = "$survivor" ] || { status=0; wait "$pid" || status=$?; check "... with status 0" test "$status" -eq 0; }
done
check "the monitor writes the start-up record and three ticks" wait_for_records 4 60
check "... one record per tick" one_record_per_tick
check "... and keeps running" running "$survivor"

kill -KILL "$survivor"
wait "$survivor" 2>/dev/null || true
before=$(records)
start
restarted=${starts[-1]}
check "after the monitor is killed, the next start monitors" wait_for_records $((before + 1)) 30
check "... and keeps running" running "$restarted"
cat -A "$folder"/PING_*.txt
checks_summary
