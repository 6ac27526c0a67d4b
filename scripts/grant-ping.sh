#!/usr/bin/env bash
# Makes sure the monitor may send pings without running as root. Linux lets
# ordinary users ping through ICMP datagram sockets when their group is in
# net.ipv4.ping_group_range; where it is not, the ping helper beside the
# monitor (vellomar-ping) is given the one capability a raw ICMP socket needs
# (cap_net_raw) instead. The monitor itself is never given it.
set -uo pipefail
helper=$1

group_may_ping() {
  local range low high
  range=$(cat /proc/sys/net/ipv4/ping_group_range 2>/dev/null) || return 1
  read -r low high <<<"$range"
  for gid in $(id -G); do
    [ "$gid" -ge "$low" ] && [ "$gid" -le "$high" ] && return 0
  done
  return 1
}

if [ "$(id -u)" -eq 0 ] || group_may_ping; then
  exit 0
fi

echo "This system does not let your group ping (net.ipv4.ping_group_range);"
echo "giving the ping helper $helper the capability cap_net_raw instead (asks for your password)."
if sudo setcap cap_net_raw+ep "$helper"; then
  exit 0
fi
echo "Could not grant cap_net_raw. Vellomar still runs, but every record will carry" >&2
echo "the status -1 (no request sent) until pinging is allowed." >&2
exit 0
