#!/usr/bin/env bash
# Runs the tray icon's tests under wine, whose desktop process keeps the
# notification area, on a virtual display of their own.
#   wine_tray.sh win32_tray_tests.exe
set -euo pipefail
. "$(dirname "$0")/wine_common.sh"
enter_private_namespaces "$@"
program=$1

display_file=$(mktemp)
Xvfb -displayfd 3 -nolisten tcp -screen 0 800x600x24 3>"$display_file" 2>/dev/null &
xvfb=$!
for _ in $(seq 50); do [ -s "$display_file" ] && break; sleep 0.1; done
[ -s "$display_file" ] || { kill $xvfb; echo "tray: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(cat "$display_file")"
rm -f "$display_file"

cleanup_extra='kill $xvfb 2>/dev/null || true'
start_fresh_wine
status=0
timeout 60 wine "$program" || status=$?
[ "$status" -ne 124 ] || echo "tray: the tests under wine did not end within 60 s" >&2
exit "$status"
