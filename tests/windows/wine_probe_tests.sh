#!/usr/bin/env bash
# Runs the Windows probe tests under wine in a private network namespace: first
# with the loopback answering echo requests, then with it ignoring them.
#   wine_probe_tests.sh probe_windows_tests.exe
set -euo pipefail
. "$(dirname "$0")/wine_common.sh"
enter_private_namespaces "$@"
tests=$1

start_fresh_wine
set_echo_ignored 0
bounded "$program_seconds" "the probe tests with a loopback that answers" wine "$tests" --gtest_filter='-SilentHost.*'
set_echo_ignored 1
bounded "$program_seconds" "the probe tests with a loopback that ignores echo requests" wine "$tests" --gtest_filter='SilentHost.*'
