#!/usr/bin/env bash
# The real monitor on a desktop whose tray and notifications live on the
# session bus (a bus of the test's own, with the test's own tray host and
# notification service), inside a network namespace of the test's own that
# watches its own loopback:
#  1. started with --minimized before there is any tray, its icon registers
#     within seconds of a tray host that comes up six seconds later, green,
#     red with a notification while the loopback ignores pings, green again;
#     the host's click shows the window;
#  2. with no tray at all and a notification service that takes calls and
#     never answers, an outage still reaches the service, the records stay
#     ten seconds apart and the window keeps painting.
#   tray_on_dbus.sh BUILD_DIR
set -euo pipefail
# sysctl lives in /usr/sbin, which an ordinary user's PATH may lack.
PATH=$PATH:/usr/sbin:/sbin
build=$(cd "$1" && pwd)
desktop=$(cd "$(dirname "$0")" && pwd)/fake_desktop.py

if [ -z "${TRAY_TEST_IN_NAMESPACE:-}" ]; then
  . "$(dirname "$0")/../support/namespaces.sh"
  for tool in Xvfb dbus-daemon import xwininfo; do
    command -v "$tool" >/dev/null || cannot_run "$tool is not installed (scripts/install-deps.sh)"
  done
  /usr/bin/python3 -c 'import dbus, gi' 2>/dev/null || cannot_run "python3-dbus and python3-gi are not installed"
  namespaces_allowed --net --mount || cannot_run "this user may not make network and mount namespaces"
  TRAY_TEST_IN_NAMESPACE=1 exec unshare "${as_namespace_root[@]}" --net --mount bash "$0" "$@"
fi
mkdir -p /tmp/.X11-unix
mount -t tmpfs -o size=1m,mode=1777 tmpfs /tmp/.X11-unix

. "$(dirname "$0")/../support/scratch.sh"
on_failure() { tail -n 5 "$scratch"/Vellomar*/PING_*.txt >&2; }

. "$(dirname "$0")/../support/checks.sh"

ip link set lo up
sysctl -qw net.ipv4.ping_group_range="0 0"
sysctl -qw net.ipv4.icmp_echo_ignore_all=0

Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$scratch/display" 2>"$scratch/xvfb.log" &
pids+=($!)
wait_for 10 "Xvfb starts" test -s "$scratch/display"
export DISPLAY=:$(cat "$scratch/display")
wait_for 10 "the display takes clients" eval 'xwininfo -root >/dev/null 2>&1'

cat >"$scratch/bus.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=$scratch/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF
dbus-daemon --config-file="$scratch/bus.conf" --nofork --nopidfile 2>"$scratch/bus.log" &
pids+=($!)
export DBUS_SESSION_BUS_ADDRESS=unix:path=$scratch/bus
wait_for 10 "the session bus starts" test -S "$scratch/bus"

serve() {  # KIND: a service of the fake desktop's, its events in KIND.log
  : >"$scratch/$1.log"
  /usr/bin/python3 "$desktop" "$1" >"$scratch/$1.log" 2>&1 &
  pids+=($!)
  served=$!
  wait_for 10 "the fake $1 comes up" grep -q "^serving" "$scratch/$1.log"
}
start_monitor() {  # FOLDER [ARGUMENTS]
  local folder=$scratch/$1
  shift
  mkdir "$folder"
  cp "$build/vellomar" "$build/vellomar-ping" "$folder/"
  printf 'Zanka, 127.0.0.1\r\n' >"$folder/Vellomar.ini"
  "$folder/vellomar" "$@" >"$scratch/monitor.log" 2>&1 &
  pids+=($!)
  monitor=$!
}
item() { sed -n 's/^registered //p' "$scratch/watcher.log" | tail -n 1; }
icon_is() {  # RRGGBB: the tile's colour covers a fifth of the icon
  local share
  share=$(/usr/bin/python3 "$desktop" share "$(item)" "$1" 2>/dev/null) && [ "$share" -ge 20 ]
}
window_state() {
  xwininfo -name 'Vellomar & logging' 2>/dev/null | awk '/Map State:/ {print $3}'
}
window_shown() { [ "$(window_state)" = IsViewable ]; }
notified() { grep -q "^notify Vellomar | vellomar | $1 |" "$scratch/$2.log"; }
records() { cat "$scratch/$1"/PING_*.txt 2>/dev/null | grep -c '' || true; }
green=1f7a4d red=c62828

# 1. A tray host that comes up after the monitor.
serve notifications
notifications=$served
start_monitor Vellomar --minimized
sleep 6
watcher_up=$SECONDS
serve watcher
# Under a second on an idle machine (the watcher's arrival is seen at once); the bound leaves
# room for a sanitizer build on a busy one.
wait_for 20 "the icon registers with the tray host that came up late" test -n "$(item)"
echo "the icon registered $((SECONDS - watcher_up)) s after the tray host came up"
check "the icon registered within 15 s of the tray host's arrival" test $((SECONDS - watcher_up)) -le 15
wait_for 30 "the icon is green while the loopback answers" icon_is $green
check "started with --minimized, the window is not shown once the icon is in the tray" \
  wait_for 5 "the window goes to the tray" eval '! window_shown'
sysctl -qw net.ipv4.icmp_echo_ignore_all=1
wait_for 45 "the icon turns red while the loopback ignores pings" icon_is $red
check "the outage's beginning is a notification of the desktop's" \
  wait_for 30 "the notification" notified "Prekinitev povezave" notifications
sysctl -qw net.ipv4.icmp_echo_ignore_all=0
wait_for 30 "the icon turns green again" icon_is $green
/usr/bin/python3 "$desktop" activate "$(item)"
check "a click in the tray host shows the window" wait_for 20 "the window shows" window_shown
kill "$monitor"
wait "$monitor" 2>/dev/null || true

# 2. No tray, and a notification service that never answers.
kill "$notifications" "$served"
serve hung-notifications
start_monitor Hung
wait_for 15 "the window shows" window_shown
wait_for 15 "the first record" test "$(records Hung)" -ge 1
sysctl -qw net.ipv4.icmp_echo_ignore_all=1
check "with no tray, an outage still reaches the notification service" \
  wait_for 30 "the notification" notified "Prekinitev povezave" hung-notifications
window=$(xwininfo -name 'Vellomar & logging' | awk '/Window id:/ {print $4}')
import -window "$window" "$scratch/before.png"
count=$(records Hung)
sleep 25
import -window "$window" "$scratch/after.png"
check "while the service hangs, records go on (two or more in 25 s)" test "$(records Hung)" -ge $((count + 2))
timeouts_apart() {  # two or more time-outs, each within 11 s of the one before
  grep -a ',-10.$' "$scratch"/Hung/PING_*.txt | sed 's/,.*//' |
    while read -r day time; do date -d "${day//\//-} $time" +%s; done |
    awk 'NR > 1 && $1 - last > 11 {bad = 1} {last = $1} END {exit bad || NR < 2}'
}
check "the time-outs stay ten seconds apart" timeouts_apart
check "the window keeps painting (its list shows the new records)" \
  bash -c '! cmp -s "$1" "$2"' _ "$scratch/before.png" "$scratch/after.png"
checks_summary
