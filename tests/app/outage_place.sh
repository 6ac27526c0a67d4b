#!/usr/bin/env bash
# The real monitor in a network of the test's own: a monitor namespace, a
# router namespace that forwards, and a far host behind it, which the monitor
# watches. The far host goes silent while the router answers (an outage at the
# provider); then the router goes silent and stops forwarding (a home-network
# outage, held for more than ten minutes of ticks, over which the records must
# stay ten seconds apart); then the route goes (no next hop). The companion
# log joins the daily log on every stamp, the page says where each outage was,
# and ERR_list.csv is byte for byte what the daily logs alone give.
#   outage_place.sh BUILD_DIR
set -euo pipefail
# sysctl and ip live in /usr/sbin, which an ordinary user's PATH may lack.
PATH=$PATH:/usr/sbin:/sbin
build=$(cd "$1" && pwd)
home_ticks=${HOME_TICKS:-62}

if [ -z "${PLACE_TEST_IN_NAMESPACE:-}" ]; then
  . "$(dirname "$0")/../support/namespaces.sh"
  for tool in ip nsenter python3; do
    command -v "$tool" >/dev/null || cannot_run "$tool is not installed (scripts/install-deps.sh)"
  done
  namespaces_allowed --net --mount || cannot_run "this user may not make network and mount namespaces"
  PLACE_TEST_IN_NAMESPACE=1 exec unshare "${as_namespace_root[@]}" --net --mount bash "$0" "$@"
fi

. "$(dirname "$0")/../support/scratch.sh"
# The logs of a failed run stay in the build folder, to be read.
on_failure() {
  rm -rf "$build/outage_place.failed"
  cp -r "$scratch" "$build/outage_place.failed" && echo "the logs are left in $build/outage_place.failed" >&2
}

. "$(dirname "$0")/../support/checks.sh"

# Two more network namespaces, each held open by a process of its own.
unshare --net sleep infinity >/dev/null 2>&1 &
router=$!
unshare --net sleep infinity >/dev/null 2>&1 &
far=$!
pids+=("$router" "$far")
in_router() { nsenter --net=/proc/"$router"/ns/net "$@"; }
in_far() { nsenter --net=/proc/"$far"/ns/net "$@"; }
wait_for 10 "the namespaces are made" eval '[ "$(readlink /proc/$router/ns/net)" != "$(readlink /proc/self/ns/net)" ] &&
  [ "$(readlink /proc/$far/ns/net)" != "$(readlink /proc/self/ns/net)" ]'

# monitor 192.0.2.2 -- 192.0.2.1 router 198.51.100.1 -- 198.51.100.7 far host
ip link set lo up
ip link add m0 type veth peer name r0 netns "$router"
ip addr add 192.0.2.2/24 dev m0
ip link set m0 up
ip route add default via 192.0.2.1
in_router ip link set lo up
in_router ip addr add 192.0.2.1/24 dev r0
in_router ip link set r0 up
in_router ip link add r1 type veth peer name f0 netns "$far"
in_router ip addr add 198.51.100.1/24 dev r1
in_router ip link set r1 up
in_router sysctl -qw net.ipv4.ip_forward=1
in_far ip link set lo up
in_far ip addr add 198.51.100.7/24 dev f0
in_far ip link set f0 up
in_far ip route add default via 198.51.100.1
# A user namespace of one group can name only that group.
sysctl -qw net.ipv4.ping_group_range="0 2147483647" 2>/dev/null || sysctl -qw net.ipv4.ping_group_range="0 0"

folder=$scratch/Vellomar
mkdir "$folder"
cp "$build/vellomar" "$build/vellomar-ping" "$folder/"
printf 'Daleč, 198.51.100.7\r\n' >"$folder/Vellomar.ini"
records() { cat "$folder"/PING_*.txt 2>/dev/null | grep -c '' || true; }
wait_records() {  # N MORE RECORDS, the phase they belong to
  local target=$(($(records) + $1))
  wait_for $((10 * $1 + 30)) "$2: $1 records" eval '[ "$(records)" -ge '"$target"' ]'
}
mark() { echo "$1 $(records)" >>"$scratch/phases"; }

QT_QPA_PLATFORM=offscreen "$folder/vellomar" >"$scratch/monitor.log" 2>&1 &
monitor=$!
pids+=($monitor)
mark answering
wait_records 3 "all answering"
mark provider
in_far sysctl -qw net.ipv4.icmp_echo_ignore_all=1
wait_records 4 "the far host silent"
mark back
in_far sysctl -qw net.ipv4.icmp_echo_ignore_all=0
wait_records 2 "answering again"
mark home
in_router sysctl -qw net.ipv4.icmp_echo_ignore_all=1
in_router sysctl -qw net.ipv4.ip_forward=0
wait_records "$home_ticks" "the router silent and not forwarding"
mark noroute
ip route del default
wait_records 2 "no route"
mark end
kill "$monitor"
wait "$monitor" 2>/dev/null || true

# The records of each phase, as "stamp,rtt,status" and "stamp,rtt,status,hop"; a phase's first record may have
# been on its way before the change, so each phase is judged without it.
python3 - "$folder" "$scratch/phases" "$scratch" <<'EOF'
import glob, os, sys
folder, phases, out = sys.argv[1:]
def lines(pattern):
    return [l for f in sorted(glob.glob(os.path.join(folder, pattern))) for l in open(f, newline='').read().split('\r\n') if l]
ping, gateway = lines('PING_*.txt'), lines('GATEWAY_*.txt')
marks = [l.split() for l in open(phases)]
for (name, start), (_, end) in zip(marks, marks[1:]):
    start, end = int(start) + 1, int(end)
    with open(os.path.join(out, name + '.ping'), 'w') as f: f.write('\n'.join(ping[start:end]) + '\n')
    with open(os.path.join(out, name + '.gateway'), 'w') as f: f.write('\n'.join(gateway[start:end]) + '\n')
with open(os.path.join(out, 'stamps.ping'), 'w') as f: f.write('\n'.join(l.split(',')[0] for l in ping) + '\n')
with open(os.path.join(out, 'stamps.gateway'), 'w') as f: f.write('\n'.join(l.split(',')[0] for l in gateway) + '\n')
EOF
every_line() {  # FILE REGEX: the file has lines, and each matches
  [ -s "$1" ] && ! grep -qvE "$2" "$1"
}
stamp='^[0-9]{4}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}'
check "one companion record beside every record, under the same stamp" cmp -s "$scratch/stamps.ping" "$scratch/stamps.gateway"
check "all answering: the next hop, the router, answers too" every_line "$scratch/answering.gateway" "$stamp,[0-9]+,0,192\.0\.2\.1$"
check "the far host silent: the host times out" every_line "$scratch/provider.ping" "$stamp,0,-10$"
check "the far host silent: the router still answers" every_line "$scratch/provider.gateway" "$stamp,[0-9]+,0,192\.0\.2\.1$"
check "the router silent: the host times out" every_line "$scratch/home.ping" "$stamp,0,-10$"
check "the router silent: so does the next hop" every_line "$scratch/home.gateway" "$stamp,[0-9]+,-10,192\.0\.2\.1$"
check "no route: no next hop, nothing sent" every_line "$scratch/noroute.gateway" "$stamp,0,-1,$"
check "the daily log holds no companion record" bash -c '! grep -q "192\.0\.2\.1" "$1"/PING_*.txt' _ "$folder"

# Both waits of five seconds go by at once, and the schedule keeps its pace: ten seconds from record to record,
# a second either way as the stamps round, and no drift over the whole spell.
spacing() {
  python3 - "$scratch/home.ping" <<'EOF'
import sys, datetime
stamps = [datetime.datetime.strptime(l.split(',')[0], '%Y/%m/%d %H:%M:%S') for l in open(sys.argv[1]) if l.strip()]
gaps = [(b - a).total_seconds() for a, b in zip(stamps, stamps[1:])]
span = (stamps[-1] - stamps[0]).total_seconds()
print(f"{len(stamps)} records over {span:.0f} s, gaps from {min(gaps):.0f} to {max(gaps):.0f} s")
sys.exit(0 if len(stamps) >= 60 and min(gaps) >= 9 and max(gaps) <= 11 and abs(span - 10 * len(gaps)) <= 1 else 1)
EOF
}
check "over ten minutes with the host and the next hop silent, the records stay ten seconds apart" spacing

# The report and the page from these logs, as the monitor's next rebuild makes them.
"$build/bench/report_bench" "$folder" --host "Daleč, 198.51.100.7" --quiet >"$scratch/rebuild.log" 2>&1
mkdir "$scratch/daily_logs_only"
cp "$folder"/PING_*.txt "$scratch/daily_logs_only/"
"$build/bench/report_bench" "$scratch/daily_logs_only" --host "Daleč, 198.51.100.7" --quiet >>"$scratch/rebuild.log" 2>&1
check "ERR_list.csv is byte for byte what the daily logs alone give" \
  cmp "$folder/ERR_list.csv" "$scratch/daily_logs_only/ERR_list.csv"
# The outages' rows, "start;end;duration", in the order they began: the far host's, then the router's.
grep -aE '^[0-9/]{10} [0-9:]{8};' "$folder/ERR_list.csv" | cut -d';' -f1 >"$scratch/outage_starts"
provider_start=$(sed -n 1p "$scratch/outage_starts")
home_start=$(sed -n 2p "$scratch/outage_starts")
check "ERR_list.csv counts the two outages" test "$(grep -c '' "$scratch/outage_starts")" -eq 2
place_of() {  # STAMP PLACE: the page's row of the outage that begins at STAMP names PLACE
  grep -F "$1" "$folder/ERR_list.html" | grep -qF "$2"
}
check "the page puts the far host's outage at the provider" place_of "$provider_start" "pri ponudniku"
check "the page puts the router's outage in the home network" place_of "$home_start" "v domačem omrežju"
checks_summary
