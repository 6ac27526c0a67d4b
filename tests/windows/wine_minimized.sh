#!/usr/bin/env bash
# Starts vellomar.exe under wine on a virtual display, inside a private network
# namespace, watching 127.0.0.1: with --minimized on its command line the
# start-up probe is logged and the window is not shown; without it the window
# is shown.
#   wine_minimized.sh vellomar.exe
set -euo pipefail
. "$(dirname "$0")/wine_common.sh"
enter_private_namespaces "$@"
program=$1

start_fresh_wine with_display
cleanup_extra='kill ${monitor:-} 2>/dev/null || true'
set_echo_ignored 0

# Map state of the monitor's window once its start-up probe is logged.
window_after_start_up() {
  local folder=$scratch/run$1
  shift
  mkdir -p "$folder"
  cp "$program" "$folder/"
  printf 'Loopback, 127.0.0.1\r\n' >"$folder/Vellomar.ini"
  (cd "$folder" && exec wine "./$(basename "$program")" "$@") >"$scratch/output" 2>&1 &
  monitor=$!
  for _ in $(seq $((program_seconds * 4))); do
    [ -n "$(cat "$folder"/PING_*.txt 2>/dev/null)" ] && break
    sleep 0.25
  done
  [ -n "$(cat "$folder"/PING_*.txt 2>/dev/null)" ] || fail "timed out after $program_seconds s: the start-up record ($*)"
  sleep 1
  xwininfo -name 'Vellomar & logging' 2>/dev/null | awk '/Map State:/ {print $3}'
  kill "$monitor" 2>/dev/null || true
  wait "$monitor" 2>/dev/null || true
}

shown=$(window_after_start_up 1)
[ "$shown" = IsViewable ] || fail "started without --minimized, the window is not shown ($shown)"
hidden=$(window_after_start_up 2 --minimized)
[ "$hidden" != IsViewable ] || fail "started with --minimized, the window is shown"
echo "minimized: the window is shown at a normal start and not with --minimized (${hidden:-no window mapped})"
