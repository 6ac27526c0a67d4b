#!/usr/bin/env bash
# The real monitor on a virtual display with trayer as the system tray, inside
# network and mount namespaces of the test's own that watches its own loopback:
# started with --minimized it shows only its tray icon, the icon turns red
# while the loopback ignores pings and green again after, and a click on it
# shows the window. Screenshots of the green and the red icon are left in
# BUILD_DIR/tray_green.png and BUILD_DIR/tray_red.png.
#   tray_on_xvfb.sh BUILD_DIR
set -euo pipefail
# sysctl lives in /usr/sbin, which an ordinary user's PATH may lack.
PATH=$PATH:/usr/sbin:/sbin
build=$(cd "$1" && pwd)

if [ -z "${TRAY_TEST_IN_NAMESPACE:-}" ]; then
  . "$(dirname "$0")/../support/namespaces.sh"
  for tool in Xvfb trayer import convert xwininfo xdotool; do
    command -v "$tool" >/dev/null || cannot_run "$tool is not installed (scripts/install-deps.sh)"
  done
  namespaces_allowed --net --mount || cannot_run "this user may not make network and mount namespaces"
  TRAY_TEST_IN_NAMESPACE=1 exec unshare "${as_namespace_root[@]}" --net --mount bash "$0" "$@"
fi
# The display's socket in a folder of this test's own: another X server that
# ends meanwhile on this machine cannot take it away.
mkdir -p /tmp/.X11-unix
mount -t tmpfs -o size=1m,mode=1777 tmpfs /tmp/.X11-unix

. "$(dirname "$0")/../support/scratch.sh"

. "$(dirname "$0")/../support/checks.sh"

ip link set lo up
# A user namespace of one group can name only that group.
sysctl -qw net.ipv4.ping_group_range="0 2147483647" 2>/dev/null || sysctl -qw net.ipv4.ping_group_range="0 0"
sysctl -qw net.ipv4.icmp_echo_ignore_all=0

folder=$scratch/Vellomar
mkdir "$folder"
cp "$build/vellomar" "$build/vellomar-ping" "$folder/"
printf 'Zanka, 127.0.0.1\r\n' >"$folder/Vellomar.ini"

Xvfb -displayfd 3 -screen 0 640x240x24 -nolisten tcp 3>"$scratch/display" 2>"$scratch/xvfb.log" &
pids+=($!)
wait_for 10 "Xvfb starts" test -s "$scratch/display"
export DISPLAY=:$(cat "$scratch/display")
wait_for 10 "the display takes clients" eval 'xwininfo -root >/dev/null 2>&1'
start_tray() {
  trayer --edge top --align right --widthtype request --height 32 --SetDockType false --transparent false \
    --tint 0xffffff >>"$scratch/trayer.log" 2>&1 &
  tray=$!
  pids+=($tray)
  wait_for 10 "trayer shows its panel" sh -c 'xwininfo -root -tree | grep -q "(\"panel\" \"trayer\")"'
}
start_tray

"$folder/vellomar" --minimized >"$scratch/monitor.log" 2>&1 &
pids+=($!)

icon_geometry() {  # the embedded icon's WIDTHxHEIGHT+X+Y on the screen: the monitor's window inside the panel's
  xwininfo -root -tree 2>/dev/null |
    awk '/"Vellomar": \("vellomar" "Vellomar"\)/ && match($0, /^ +/) && RLENGTH > 5 {print $(NF-1) $NF; exit}' |
    sed -E 's/^([0-9]+x[0-9]+)\+-?[0-9]+\+-?[0-9]+\+/\1+/'
}
icon_pixels() {  # how many of the icon's pixels are of the tile colour $1
  local geometry
  geometry=$(icon_geometry)
  [ -n "$geometry" ] || { echo 0; return; }
  import -window root -crop "$geometry" "$scratch/icon.png" 2>/dev/null
  convert "$scratch/icon.png" -fuzz 8% -fill '#ff00ff' -opaque "$1" -format %c histogram:info:- |
    awk '/#FF00FF/ {sum += $1} END {print sum + 0}'
}
icon_is() {  # the tile colour covers a quarter of the icon
  local geometry size
  geometry=$(icon_geometry)
  size=$(echo "$geometry" | sed -E 's/^([0-9]+)x([0-9]+).*/\1 * \2/')
  [ -n "$size" ] && [ "$(icon_pixels "$1")" -ge $(($size / 4)) ]
}
icon_gone() { [ -z "$(icon_geometry)" ]; }
window_state() {
  xwininfo -name 'Vellomar & logging' 2>/dev/null | awk '/Map State:/ {print $3}'
}
green='#1f7a4d' red='#c62828'

wait_for 15 "the tray icon turns green after the start-up probe" icon_is "$green"
check "started with --minimized, the window is not shown" test "$(window_state)" != IsViewable
cp "$scratch/icon.png" "$build/tray_green.png"

sysctl -qw net.ipv4.icmp_echo_ignore_all=1
wait_for 30 "the icon turns red once the loopback ignores pings" icon_is "$red"
cp "$scratch/icon.png" "$build/tray_red.png"
import -window root "$build/tray_red_screen.png"
check "the window is still not shown during the outage" test "$(window_state)" != IsViewable

sysctl -qw net.ipv4.icmp_echo_ignore_all=0
wait_for 20 "the icon turns green again once pings are answered" icon_is "$green"

check "before the click the window is still not shown" test "$(window_state)" != IsViewable
geometry=$(icon_geometry)
read -r x y < <(echo "$geometry" | sed -E 's/^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$/\3+\1\/2 \4+\2\/2/' |
  awk '{split($1, a, /[+\/]/); split($2, b, /[+\/]/); print a[1] + int(a[2] / a[3]), b[1] + int(b[2] / b[3])}')
bounded() {  # runs an input step for at most 10 s
  local step=$1
  shift
  timeout 10 "$@" || { echo "FAILED: $step: did not finish within 10 s" >&2; return 1; }
}
bounded "the click on the icon" xdotool mousemove --sync "$x" "$y" click 1
check "a click on the tray icon shows the window" wait_for 5 "the window is shown" \
  sh -c "xwininfo -name 'Vellomar & logging' 2>/dev/null | grep -q IsViewable"
sleep 1  # two clicks closer together are a double click
bounded "the second click" xdotool click 1  # the pointer is still on the icon
check "a second click, with the window in front, hides it" wait_for 5 "the window is hidden" \
  sh -c "xwininfo -name 'Vellomar & logging' 2>/dev/null | grep -q IsUnMapped"

statuses=$(cut -d, -f3 "$folder"/PING_*.txt | tr -d '\r' | uniq | tr '\n' ' ')
check "the log holds replies, then time-outs, then replies ($statuses)" \
  grep -Eq '^0 -10 0 $' <<<"$statuses"

# Without Vellomar.ini a --minimized start still shows the start-up message,
# and the icon is grey while the monitor waits for Start.
kill "${pids[-1]}"
wait "${pids[-1]}" 2>/dev/null || true
wait_for 10 "the first monitor's icon goes" icon_gone
rm "$folder/Vellomar.ini"
"$folder/vellomar" --minimized >"$scratch/monitor2.log" 2>&1 &
pids+=($!)
message_shown() { xdotool search --onlyvisible --name '^Vellomar$' >/dev/null; }
check "without Vellomar.ini the start-up message shows" wait_for 10 "the start-up message shows" message_shown
check "the icon is grey while the monitor waits" wait_for 5 "the icon turns grey" icon_is '#808080'
bounded "Return on the message" xdotool key Return  # the message box has the keyboard's focus
check "closing the message leaves the monitor running" \
  sh -c "sleep 1; ! xdotool search --onlyvisible --name '^Vellomar\$' >/dev/null && kill -0 ${pids[-1]}"

# A tray that ends and starts again (the desktop's panel restarted) gets the
# icon back.
kill "$tray"
wait_for 10 "the icon goes with the tray" icon_gone
start_tray
check "a tray started again shows the icon again" wait_for 10 "the icon is back" icon_is '#808080'
checks_summary
