#!/usr/bin/env bash
# The Windows setup under wine, in a prefix of its own, inside private
# namespaces (the installed monitor pings 127.0.0.1 there): an older version
# installs silently from a download folder with a non-ANSI name, with a host
# named in Slovenian and a start at login; the monitor it installs writes
# records beside itself; the newer setup replaces it while it runs; the
# uninstaller removes the program. Every record, the report, the page and
# Vellomar.ini survive each step. Last, a silent setup with /START and one
# clicked through as a new user would (Enter on every page) leave a monitor running.
#   wine_installer.sh Vellomar-VERSION-setup.exe vellomar.exe
set -euo pipefail
. "$(dirname "$0")/wine_common.sh"
enter_private_namespaces "$@"
new_setup=$(realpath "$1")
exe=$(realpath "$2")
nsi=$(realpath "$(dirname "$0")/../../packaging/vellomar.nsi")
new_version=$(basename "$new_setup" | sed -n 's/^Vellomar-\(.*\)-setup\.exe$/\1/p')

start_fresh_wine with_display
cleanup_extra='stop_monitor'
set_echo_ignored 0
. "$(dirname "$0")/../support/checks.sh"

downloads="$WINEPREFIX/drive_c/users/$(id -un)/Prenosi Čedomir Жанна"
programs="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/Programs/Vellomar"
shortcut="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Vellomar.lnk"
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vellomar'
mkdir -p "$downloads" "$scratch/kept"

# The same setup as an older version, to upgrade from.
printf 'Loopback, 127.0.0.1\r\n' >"$scratch/sample.ini"
makensis -V1 -DVERSION=0.9 -DFILE_VERSION=0.9.0.0 -DEXE="$exe" -DSAMPLE_INI="$scratch/sample.ini" \
  -DOUTFILE="$downloads/Vellomar-0.9-setup.exe" "$nsi" >/dev/null
cp "$new_setup" "$downloads/"

record_count() { cat "$programs"/PING_*.txt 2>/dev/null | grep -c '' || true; }
show_found() {
  echo "records found: $(record_count)"
  ls -la "$programs" 2>&1
  cat -A "$programs"/PING_*.txt 2>/dev/null || true
}
run_setup() {  # STEP SETUP ARGUMENTS...
  local step=$1 setup=$2
  shift 2
  (cd "$downloads" && bounded "$program_seconds" "$step" wine "./$setup" "$@")
}
start_monitor() {
  (cd "$programs" && exec wine ./vellomar.exe) >"$scratch/monitor.log" 2>&1 &
  monitor=$!
}
stop_monitor() {
  [ -n "${monitor:-}" ] || return 0
  kill "$monitor" 2>/dev/null || true
  wait "$monitor" 2>/dev/null || true
  monitor=
}
wait_for_records() {  # COUNT: until the daily logs hold COUNT records
  local waited=0
  until [ "$(record_count)" -ge "$1" ]; do
    [ "$waited" -lt $((program_seconds * 4)) ] || fail "timed out after $program_seconds s: the monitor writing record $1"
    sleep 0.25
    waited=$((waited + 1))
  done
}
# The setup and the uninstaller ask the monitor to close; its wine process ends with it.
monitor_ended() {
  for _ in $(seq 40); do kill -0 "$monitor" 2>/dev/null || { monitor=; return 0; }; sleep 0.25; done
  return 1
}
registry_value() {  # KEY VALUE: prints the data, fails when there is none
  bounded 30 "reading the registry" wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
    sed -n "s/^ *$2 *REG_[A-Z_]* *//p" | grep .
}
no_registry_value() { ! registry_value "$@"; }
evidence_kept() {  # every record kept as it was, the newer ones after them
  local file
  for file in "$scratch/kept"/*; do
    case $(basename "$file") in
      PING_* | GATEWAY_*) cmp -s -n "$(stat -c %s "$file")" "$file" "$programs/$(basename "$file")" || return 1 ;;
      *) cmp -s "$file" "$programs/$(basename "$file")" || return 1 ;;
    esac
  done
}
keep_evidence() { cp "$programs"/PING_*.txt "$programs"/GATEWAY_*.txt "$programs"/ERR_list.* "$programs/Vellomar.ini" "$scratch/kept/"; }

# The program itself refuses them: no comma, an address with a leading zero.
for host in 'Čatež 127.0.0.1' 'Prehod,127.0.0.01'; do
  status=0
  run_setup "the setup refusing a host" Vellomar-0.9-setup.exe /S "/HOST=$host" || status=$?
  check "/HOST=$host stops the setup with exit code 2, before it installs" test "$status" -eq 2 -a ! -e "$programs"
done

run_setup "the older setup installing" Vellomar-0.9-setup.exe /S '/HOST=Čatež,127.0.0.1' /AUTOSTART
check "the program and the uninstaller are in the user's Programs folder" \
  test -f "$programs/vellomar.exe" -a -f "$programs/uninstall.exe"
check "/HOST is the host line, in UTF-8 without a byte order mark" \
  test "$(grep -av '^;' "$programs/Vellomar.ini")" = $'Čatež, 127.0.0.1\r'
check "the whole host file is UTF-8 that starts with a comment" \
  bash -c 'iconv -f UTF-8 -t UTF-8 "$1" >/dev/null && [ "$(head -c1 "$1")" = ";" ]' _ "$programs/Vellomar.ini"
check "a Start menu shortcut" test -f "$shortcut"
check "/AUTOSTART starts the installed exe minimized at login" \
  test "$(registry_value "$run_key" Vellomar)" = "\"C:\\users\\$(id -un)\\AppData\\Local\\Programs\\Vellomar\\vellomar.exe\" --minimized"
check "the uninstall entry names version 0.9" test "$(registry_value "$uninstall_key" DisplayVersion)" = 0.9

start_monitor
wait_for_records 1
check "the installed monitor, reading that host file, pings 127.0.0.1 into a log beside itself" \
  grep -qaP '^\d{4}/\d\d/\d\d \d\d:\d\d:\d\d,\d+,0\r$' "$programs"/PING_*.txt
printf 'outages\r\n' >"$programs/ERR_list.csv"
printf '<html>\n' >"$programs/ERR_list.html"
keep_evidence

run_setup "the newer setup replacing a running monitor" "$(basename "$new_setup")" /S
check "the newer setup closed the monitor" monitor_ended
check "the upgrade keeps every record, the report, the page and the host file" evidence_kept
check "the upgrade keeps the start at login" test -n "$(registry_value "$run_key" Vellomar)"
check "the uninstall entry names version $new_version" \
  test "$(registry_value "$uninstall_key" DisplayVersion)" = "$new_version"

records=$(record_count)
start_monitor
wait_for_records $((records + 1))
keep_evidence
# The uninstaller runs from a copy of itself and removes itself last.
(cd "$programs" && bounded "$program_seconds" "the uninstaller starting" wine ./uninstall.exe /S)
waited=0
while [ -e "$programs/uninstall.exe" ]; do
  [ "$waited" -lt $((program_seconds * 4)) ] || fail "timed out after $program_seconds s: the uninstaller removing itself"
  sleep 0.25
  waited=$((waited + 1))
done
check "the uninstaller closed the monitor" monitor_ended
check "the uninstaller removes the program and the shortcut" test ! -e "$programs/vellomar.exe" -a ! -e "$shortcut"
check "the uninstaller removes the start at login" no_registry_value "$run_key" Vellomar
check "the uninstaller removes its entry" no_registry_value "$uninstall_key" DisplayName
check "the uninstaller keeps every record, the report, the page and the host file" evidence_kept

uninstall_silently() {
  (cd "$programs" && bounded "$program_seconds" "the uninstaller starting" wine ./uninstall.exe /S)
  local waited=0
  while [ -e "$programs/uninstall.exe" ]; do
    [ "$waited" -lt $((program_seconds * 4)) ] || fail "timed out after $program_seconds s: the uninstaller removing itself"
    sleep 0.25
    waited=$((waited + 1))
  done
}
estimated_size_fits() {  # EstimatedSize is in KiB: about the size of the program
  local size kib
  size=$(registry_value "$uninstall_key" EstimatedSize) || return 1
  kib=$((size))
  [ "$kib" -ge $(($(stat -c %s "$exe") / 1024)) ] && [ "$kib" -le $(($(stat -c %s "$exe") / 1024 + 1024)) ]
}

records=$(record_count)
run_setup "a silent setup with /START" "$(basename "$new_setup")" /S /START
wait_for_records $((records + 1))
check "a silent setup with /START leaves a monitor running" test "$(record_count)" -gt "$records"
check "a silent first setup without /AUTOSTART makes no start at login" no_registry_value "$run_key" Vellomar
check "the uninstall entry names its publisher" \
  test "$(registry_value "$uninstall_key" Publisher)" = "Razvijalci programa Vellomar"
check "the uninstall entry gives the program's size" estimated_size_fits
uninstall_silently

# Clicked through: Enter takes each page's default button, the finish page's
# "Zaženi Vellomar zdaj" ticked.
records=$(record_count)
(cd "$downloads" && exec wine "./$(basename "$new_setup")") >"$scratch/setup.log" 2>&1 &
setup=$!
for _ in $(seq 30); do
  kill -0 "$setup" 2>/dev/null || break
  sleep 3
  xdotool key Return 2>/dev/null || true
done
kill -0 "$setup" 2>/dev/null && fail "the setup clicked through with Enter did not end"
wait_for_records $((records + 1))
check "the setup clicked through leaves a monitor running" test "$(record_count)" -gt "$records"
check "the setup clicked through starts it at login" test -n "$(registry_value "$run_key" Vellomar)"
uninstall_silently
checks_summary || fail "some checks failed"
