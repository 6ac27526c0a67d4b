#!/usr/bin/env bash
# Opens the page a rebuild writes beside the report, from 400 days of generated
# logs (the last 200 with companion logs), in headless Chromium, as a user
# would by double-clicking it: no console error, no request beyond the page
# itself, one or two printed A4 pages, and a screenshot to look at
# (BUILD_DIR/ERR_list.png).
#   page_in_browser.sh BUILD_DIR
set -euo pipefail
build=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
logs=$scratch/logs
"$build/bench/report_bench" --generate "$logs" --days 400 --companion-days 200 --start "$(date -d '399 days ago' +%Y/%m/%d)" >/dev/null
"$build/bench/report_bench" "$logs" --host "Moj ponudnik <b>& Co</b>, 192.0.2.1" --quiet
page=file://$logs/ERR_list.html

# Chromium's own background requests are refused by its resolver, and where
# the user may make one it runs in a network namespace of its own as well:
# nothing leaves the machine.
. "$(dirname "$0")/../support/namespaces.sh"
isolate=()
namespaces_allowed --net && isolate=(unshare "${as_namespace_root[@]}" --net)
browse() {
  "${isolate[@]}" chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --host-resolver-rules="MAP * ~NOTFOUND" --user-data-dir="$scratch/profile" "$@" "$page"
}
browse --enable-logging=stderr --v=0 --log-net-log="$scratch/net.json" --window-size=800,1400 \
  --screenshot="$build/ERR_list.png" 2>"$scratch/browser.log" >/dev/null
browse --no-pdf-header-footer --print-to-pdf="$scratch/page.pdf" 2>/dev/null >/dev/null

. "$(dirname "$0")/../support/checks.sh"
no_console_messages() {
  ! grep -a ':CONSOLE' "$scratch/browser.log"
}
# Requests the page made (an origin of its own or none), as against Chromium's.
no_requests_beyond_the_page() {
  python3 - "$scratch/net.json" <<'PY'
import json, sys
log = json.load(open(sys.argv[1]))
start = log["constants"]["logEventTypes"]["URL_REQUEST_START_JOB"]
made = [e["params"]["url"] for e in log["events"]
        if e["type"] == start and "url" in e.get("params", {})  # the start, not the end, of a job
        and e["params"].get("initiator") != "not an origin" and not e["params"]["url"].startswith("file:")]
print("\n".join(made))
sys.exit(1 if made else 0)
PY
}
printed_pages() {
  local pages
  pages=$(grep -a -c '/Type /Page\b' "$scratch/page.pdf" || true)
  [ "$pages" -ge 1 ] && [ "$pages" -le 2 ]
}
host_shown_as_text() {
  grep -q 'Moj ponudnik &lt;b&gt;&amp; Co&lt;/b&gt; (192.0.2.1)' "$logs/ERR_list.html"
}
check "the page logs nothing to the console" no_console_messages
check "the page asks for nothing beyond itself" no_requests_beyond_the_page
check "the page prints on one or two pages" printed_pages
check "the host's name is shown as text" host_shown_as_text
check "a screenshot was taken" test -s "$build/ERR_list.png"
checks_summary
