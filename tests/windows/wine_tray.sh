#!/usr/bin/env bash
# Runs the tray icon's tests under wine, whose desktop process keeps the
# notification area, on a virtual display of their own.
#   wine_tray.sh win32_tray_tests.exe
set -euo pipefail
. "$(dirname "$0")/wine_common.sh"
enter_private_namespaces "$@"
program=$1

start_fresh_wine with_display
status=0
bounded "$program_seconds" "the tray's tests under wine" wine "$program" || status=$?
exit "$status"
