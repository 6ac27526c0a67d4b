#!/usr/bin/env bash
# Installs, updates and uninstalls Vellomar for a user whose home is a scratch
# folder, into a program folder that already holds records, and checks that
# the records survive every step: install_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1
build_dir=$2

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME=$home VELLOMAR_BUILD=$build_dir
# As an ordinary user the installation may ask sudo for the ping capability;
# no one is there to type a password, so this sudo refuses at once.
mkdir "$home/bin"
printf '#!/bin/sh\necho "sudo refused by the installation test" >&2\nexit 1\n' >"$home/bin/sudo"
chmod +x "$home/bin/sudo"
export PATH="$home/bin:$PATH"
unset XDG_DATA_HOME XDG_CONFIG_HOME
folder="$home/My \$Vellomar 100%"
apps=$home/.local/share/applications
autostart=$home/.config/autostart
metainfo=$home/.local/share/metainfo/example.vellomar.vellomar.metainfo.xml

. "$(dirname "$0")/../support/checks.sh"
png_size_is() {  # the width and height in a PNG's IHDR chunk
  [ "$(head -c 8 "$2" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] &&
    [ "$(od -An -tu1 -j16 -N8 "$2" | awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}')" = "$1 $1" ]
}
no_debug_sections() { ! readelf -S "$1" | grep -q '\.debug_'; }
# The packages that building and running ask for on a machine that has none:
# what scripts/install-deps.sh --run would install.
packages_to_run() {
  local fake
  fake=$(mktemp -d)
  printf '#!/bin/sh\nexit 1\n' >"$fake/dpkg-query"
  printf '#!/bin/sh\n[ "$1" = install ] && shift 3 && echo "$@"\nexit 0\n' >"$fake/apt-get"
  printf '#!/bin/sh\nexec "$@"\n' >"$fake/sudo"
  chmod +x "$fake"/*
  PATH="$fake:$PATH" "$source_dir/scripts/install-deps.sh" --run | tail -n 1
  rm -rf "$fake"
}
records_kept() {
  cmp -s "$folder/PING_20150126.txt" <(printf '2015/01/26 10:00:00,3,0\r\n') &&
    cmp -s "$folder/GATEWAY_20150126.txt" <(printf '2015/01/26 10:00:00,1,0,192.0.2.1\r\n') &&
    cmp -s "$folder/ERR_list.csv" <(printf 'old report\r\n') &&
    cmp -s "$folder/Vellomar.ini" <(printf 'Gateway, 192.0.2.1\r\n')
}
exec_runs_the_installed_program() {  # ENTRY [ARGUMENTS]: Exec unquoted by the desktop entry rules
  local exec arguments=${2:+ $2}
  exec=$(sed -n 's/^Exec=//p' "$1")
  [[ $exec == *"\"$arguments" ]] || return 1
  exec=${exec%"$arguments"}
  exec=${exec//%%/%}
  exec=${exec#\"}
  exec=${exec%\"}
  exec=$(printf '%s' "$exec" | sed -e 's/\\\\/\\/g' -e 's/\\\(["`$\\]\)/\1/g')
  [ "$exec" = "$folder/vellomar" ]
}

mkdir -p "$folder"
printf '2015/01/26 10:00:00,3,0\r\n' >"$folder/PING_20150126.txt"
printf '2015/01/26 10:00:00,1,0,192.0.2.1\r\n' >"$folder/GATEWAY_20150126.txt"
printf 'old report\r\n' >"$folder/ERR_list.csv"
printf 'Gateway, 192.0.2.1\r\n' >"$folder/Vellomar.ini"

"$source_dir/install.sh" "$folder" --autostart --host "Elsewhere, 192.0.2.9" >/dev/null 2>&1
check "the program and its ping helper are installed" test -x "$folder/vellomar" -a -x "$folder/vellomar-ping"
check "records and the host file are untouched, --host too" records_kept
for entry in "$apps/vellomar.desktop" "$autostart/vellomar.desktop"; do
  check "$entry is a valid desktop entry" desktop-file-validate "$entry"
done
check "the menu starts the installed program" exec_runs_the_installed_program "$apps/vellomar.desktop"
check "the AppStream metainfo validates" appstreamcli validate --no-net "$metainfo"
for program in vellomar vellomar-ping; do
  check "the installed $program carries no debug sections" no_debug_sections "$folder/$program"
done
check "the login starts it in the tray" exec_runs_the_installed_program "$autostart/vellomar.desktop" --minimized
for size in 16 32 48 256; do
  check "a ${size}px icon" png_size_is "$size" "$home/.local/share/icons/hicolor/${size}x${size}/apps/vellomar.png"
done

"$source_dir/install.sh" "$folder" >/dev/null
check "an update keeps the records and the host file" records_kept

"$source_dir/install.sh" --uninstall "$folder" >/dev/null
check "uninstall removes the programs" test ! -e "$folder/vellomar" -a ! -e "$folder/vellomar-ping"
check "uninstall removes the menu and autostart entries and the metainfo" \
  test ! -e "$apps/vellomar.desktop" -a ! -e "$autostart/vellomar.desktop" -a ! -e "$metainfo"
check "uninstall removes the icons" test -z "$(find "$home/.local/share/icons" -name vellomar.png)"
check "uninstall keeps the records and the host file" records_kept

rm -rf "$folder"
"$source_dir/install.sh" "$folder" >/dev/null
check "a fresh folder gets the sample host file" grep -q '^Loopback, 127.0.0.1' "$folder/Vellomar.ini"
check "no autostart entry unless asked for" test ! -e "$autostart/vellomar.desktop"

rm -rf "$folder"
"$source_dir/install.sh" "$folder" --host "  Čatež ,192.0.2.1 " >/dev/null
check "--host writes its line into a new host file, as the monitor trims it" \
  test "$(grep -v '^;' "$folder/Vellomar.ini")" = "Čatež, 192.0.2.1"

# Refused by the program itself before anything is written: no comma, a name that is empty
# or a comment, an address that is not four decimal numbers up to 255.
for host in "Gateway 192.0.2.1" ", 192.0.2.1" "; Gateway, 192.0.2.1" "Gateway, 192.0.2" \
  "Gateway, 192.0.2.256" "Gateway, 192.0.02.1" "Gateway, 192.0.2.1 x" "A, B, 192.0.2.1"; do
  rm -rf "$folder"
  status=0
  "$source_dir/install.sh" "$folder" --host "$host" >/dev/null 2>"$home/refused" || status=$?
  check "--host \"$host\" is refused, nothing written" test "$status" -eq 2 -a ! -e "$folder"
done
check "... saying why in the program's words" grep -q '^"B, 192.0.2.1" is not an IPv4 address' "$home/refused"

run_packages=" $(packages_to_run) "
check "building and running ask for Qt and the compiler" test -z "${run_packages##* qt6-base-dev *}" -a -z "${run_packages##* g++ *}"
for tool in wine wine64 mingw-w64 nsis chromium xvfb trayer libgtest-dev clang; do
  check "building and running install no $tool" test -n "${run_packages##* $tool *}"
done

checks_summary
