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
deadline_seconds=${DEADLINE_SECONDS:-60}

fail() {
  echo "end-to-end: $*" >&2
  exit 1
}

# The display comes first: wine's desktop process, started with the prefix,
# picks its window driver once, and without a display it has none.
display_file=$(mktemp)
Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$display_file" 2>/dev/null &
xvfb=$!
for _ in $(seq 50); do [ -s "$display_file" ] && break; sleep 0.1; done
[ -s "$display_file" ] || { kill $xvfb; fail "Xvfb did not start"; }
export DISPLAY=":$(cat "$display_file")"
rm -f "$display_file"

start_fresh_wine
cleanup_extra='kill ${monitor:-} $xvfb 2>/dev/null || true'
set_echo_ignored 0
folder="$scratch/Čedomir Жанна/Vellomar"
mkdir -p "$folder"
cp "$program" "$folder/"
printf '; written by the end-to-end test\r\nLoopback, 127.0.0.1\r\n' >"$folder/Vellomar.ini"

(cd "$folder" && exec wine "./$(basename "$program")") >"$scratch/output" 2>&1 &
monitor=$!

count_records() {
  cat "$folder"/PING_*.txt 2>/dev/null | grep -c '' || true
}
for _ in $(seq $((deadline_seconds * 4))); do
  [ "$(count_records)" -ge "$min_records" ] && break
  kill -0 "$monitor" 2>/dev/null || break
  sleep 0.25
done
kill "$monitor" 2>/dev/null || true
wait "$monitor" 2>/dev/null || true

logs=("$folder"/PING_*.txt)
[ -e "${logs[0]}" ] || { cat "$scratch/output" >&2; ls -la "$folder" >&2; fail "no PING_yyyymmdd.txt beside the program"; }
records=$(cat "${logs[@]}")
count=$(count_records)
[ "$count" -ge "$min_records" ] || fail "$count records, wanted $min_records: $records"
# Every line: stamp, round-trip time, status 0, then CR LF.
if LC_ALL=C grep -vqP '^\d{4}/\d\d/\d\d \d\d:\d\d:\d\d,\d+,0\r$' "${logs[@]}"; then
  fail "a record is not 'yyyy/mm/dd hh:mm:ss,rtt,0' with CR LF: $(od -c "${logs[0]}" | head -20)"
fi
echo "end-to-end: $count records in $(basename "${logs[0]}"), beside the program in $folder:"
cat -A "${logs[@]}"
