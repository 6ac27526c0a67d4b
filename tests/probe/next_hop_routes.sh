#!/bin/sh
# The routes the next-hop tests look up, made in the caller's own network
# namespace: a veth pair whose near end holds 192.0.2.1/24, gateways on that
# link, and routes that lead nowhere. Documentation addresses only; the
# gateways need not exist, as a lookup sends nothing. Whatever an earlier run
# left in the namespace's main table goes first.
set -e
ip link del nh0 2>/dev/null || true
ip -4 route flush table main
ip link add nh0 type veth peer name nh1
ip addr add 192.0.2.1/24 dev nh0
ip link set nh1 up
ip link set nh0 up
ip route add default via 192.0.2.254
ip route add 198.51.100.0/24 via 192.0.2.253
ip route add 198.51.100.128/25 via 192.0.2.252
ip route add unreachable 203.0.113.0/26
ip route add blackhole 203.0.113.64/26
ip route add prohibit 203.0.113.128/26
