#!/usr/bin/env bash
# Runs the Windows probe tests under wine in a private network namespace: first
# with the loopback answering echo requests, then with it ignoring them; then
# the next-hop lookups in the routes the namespace is given, once more after
# its default route has moved, and again after it is gone.
#   wine_probe_tests.sh probe_windows_tests.exe
set -euo pipefail
. "$(dirname "$0")/wine_common.sh"
enter_private_namespaces "$@"
tests=$1

start_fresh_wine
set_echo_ignored 0
bounded "$program_seconds" "the probe tests with a loopback that answers" wine "$tests" --gtest_filter='-SilentHost.*:NextHop.*'
set_echo_ignored 1
bounded "$program_seconds" "the probe tests with a loopback that ignores echo requests" wine "$tests" --gtest_filter='SilentHost.*'

# The test is told where the default route leads; each run is a process of its own.
sh "$(dirname "$0")/../probe/next_hop_routes.sh"
bounded "$program_seconds" "the next-hop lookups" wine "$tests" --gtest_filter='NextHop.*'
ip route replace default via 192.0.2.251
NEXT_HOP_DEFAULT_GATEWAY=192.0.2.251 bounded "$program_seconds" "the next-hop lookups after the default route moved" \
  wine "$tests" --gtest_filter='NextHop.*'
ip route del default
NEXT_HOP_DEFAULT_GATEWAY= bounded "$program_seconds" "the next-hop lookups with no default route" \
  wine "$tests" --gtest_filter='NextHop.*'
