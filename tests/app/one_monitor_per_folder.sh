#!/usr/bin/env bash
# Starts the monitor more than once from one program folder, and once from
# another, on a virtual display inside a network namespace of the script's
# own (pinging its loopback), and checks that each folder has one monitor:
# one record per tick, later starts ending at once without a word, the
# running window brought back by a plain later start and left alone by one
# with --minimized, and the folder free again after its monitor is killed.
#   one_monitor_per_folder.sh VELLOMAR VELLOMAR_PING
set -euo pipefail
here=$(dirname "$0")
if [ "${VELLOMAR_IN_PRIVATE_NETWORK:-}" != 1 ]; then
  . "$here/../support/namespaces.sh"
  if ! namespaces_allowed --net; then
    echo "the monitor pings, and only inside a network namespace of the test's own, which this user may not make" >&2
    [ -n "${CI:-}" ] && exit 1
    exit 77
  fi
  VELLOMAR_IN_PRIVATE_NETWORK=1 exec unshare "${as_namespace_root[@]}" --net -- "$BASH" "$0" "$@"
fi
ip link set lo up
# This namespace's own setting; a user namespace of one group can name only that group.
echo "0 2147483647" >/proc/sys/net/ipv4/ping_group_range 2>/dev/null || echo "0 0" >/proc/sys/net/ipv4/ping_group_range
program=$1
helper=$2
. "$here/../support/checks.sh"

scratch=$(mktemp -d "${TMPDIR:-/tmp}/vellomar-instance-XXXXXX")
pids=()
cleanup() {
  kill "${pids[@]}" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

display_file=$scratch/display
Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$display_file" 2>/dev/null &
pids+=($!)
for _ in $(seq 50); do [ -s "$display_file" ] && break; sleep 0.1; done
[ -s "$display_file" ] || { echo "Xvfb did not start within 5 s" >&2; exit 1; }
export DISPLAY=":$(cat "$display_file")"
export XDG_RUNTIME_DIR=$scratch/runtime  # else the toolkit says it made one of its own
mkdir -m 700 "$XDG_RUNTIME_DIR"

make_folder() {
  mkdir -p "$1"
  cp "$program" "$helper" "$1/"
  printf 'Loopback, 127.0.0.1\r\n' >"$1/Vellomar.ini"
}
first=$scratch/first
other=$scratch/other
make_folder "$first"
make_folder "$other"

records() { cat "$1"/PING_*.txt 2>/dev/null | grep -c '' || true; }
wait_for_records() {  # FOLDER COUNT SECONDS
  local i
  for i in $(seq $(($3 * 4))); do
    [ "$(records "$1")" -ge "$2" ] && return 0
    sleep 0.25
  done
  return 1
}
# The window of a process, by the _NET_WM_PID the toolkit gives it.
window_of() {
  local id
  for id in $(xwininfo -root -tree | awk '/"Vellomar & logging"/ {print $1}'); do
    if [ "$(xprop -id "$id" _NET_WM_PID | awk '{print $3}')" = "$1" ]; then
      echo "$id"
      return
    fi
  done
}
map_state() { xwininfo -id "$1" | awk '/Map State:/ {print $3}'; }
wait_for_map_state() {  # WINDOW STATE SECONDS
  local i
  for i in $(seq $(($3 * 10))); do
    [ "$(map_state "$1")" = "$2" ] && return 0
    sleep 0.1
  done
  return 1
}
# A later start must be gone within seconds (15 for a sanitizer build on a
# busy machine; it takes a tenth of a second here), having said nothing.
ends_quietly() {  # FOLDER ARGUMENTS...
  local folder=$1 status=0
  shift
  timeout 15 "$folder/vellomar" "$@" >"$scratch/later.out" 2>&1 || status=$?
  [ "$status" -eq 0 ] && [ ! -s "$scratch/later.out" ] || { echo "status $status: $(cat "$scratch/later.out")"; return 1; }
}
# No two records of the folder's logs less than five seconds apart (a tick is ten).
one_record_per_tick() {
  cat "$1"/PING_*.txt | tr -d '\r' | awk -F'[ :,]' '
    { t = $2 * 3600 + $3 * 60 + $4; if (NR > 1 && (t - last + 86400) % 86400 < 5) bad = 1; last = t }
    END { exit bad }' || { echo "records too close:"; cat "$1"/PING_*.txt; return 1; }
}
running() { kill -0 "$1" 2>/dev/null; }

# Two starts half a second apart. Which one claims the folder is the
# machine's to decide (a busy one may start the second sooner); the other
# must end quietly.
"$first/vellomar" 2>"$scratch/start1.err" &
starts=($!)
sleep 0.5
"$first/vellomar" 2>"$scratch/start2.err" &
starts+=($!)
pids+=("${starts[@]}")
for _ in $(seq 150); do
  running "${starts[0]}" && running "${starts[1]}" || break
  sleep 0.1
done
monitor=${starts[0]} monitor_err=$scratch/start1.err later=${starts[1]} later_err=$scratch/start2.err
if ! running "$monitor"; then
  monitor=${starts[1]} monitor_err=$scratch/start2.err later=${starts[0]} later_err=$scratch/start1.err
fi
later_status="still running"
running "$later" || { later_status=0; wait "$later" || later_status=$?; }
check "of two starts half a second apart one ends within 15 s, with status 0 (got: $later_status)" test "$later_status" = 0
check "... having said nothing" test ! -s "$later_err"
"$other/vellomar" 2>/dev/null &
pids+=($!)
other_monitor=$!

window=""
# Generous: a sanitizer build on a busy machine takes seconds to show its window.
for _ in $(seq 300); do window=$(window_of $monitor); [ -n "$window" ] && break; sleep 0.1; done
require "the monitor's window is found" test -n "$window"
require "the monitor's window is viewable" wait_for_map_state "$window" IsViewable 15
python3 "$here/iconify_window.py" "$window"
check "the window is minimised" wait_for_map_state "$window" IsUnMapped 5
check "a start with --minimized ends quietly" ends_quietly "$first" --minimized
sleep 1
check "... and leaves the window minimised" test "$(map_state "$window")" = IsUnMapped
check "a plain later start ends quietly" ends_quietly "$first"
check "... and brings the window back" wait_for_map_state "$window" IsViewable 5

# The start-up probe and three ticks.
check "the first folder's monitor writes the start-up record and three ticks" wait_for_records "$first" 4 60
check "... one record per tick" one_record_per_tick "$first"
check "the other folder has a monitor of its own" wait_for_records "$other" 4 15
check "... one record per tick" one_record_per_tick "$other"
check "both monitors still run" running $monitor
check "... and the other" running $other_monitor
check "the first monitor said nothing about its claim" test ! -s "$monitor_err"

kill -KILL $monitor
wait $monitor 2>/dev/null || true
before=$(records "$first")
"$first/vellomar" 2>/dev/null &
restarted=$!
pids+=($restarted)
check "after the monitor is killed, the next start monitors" wait_for_records "$first" $((before + 1)) 30
check "... and keeps running" running $restarted
checks_summary
