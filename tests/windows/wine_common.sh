# Sourced by the scripts that run Windows programs under wine inside private
# network, mount and process namespaces. Every packet they send stays on that
# namespace's loopback, every disk they mount is theirs, and the wineserver
# that opens their files and sends their pings is started inside (one started
# outside would send from outside and not see the mounts).
#
# Every step that waits on wine or a display has a time limit; when one runs
# out the script names the step, shows what was running and fails, well before
# CTest's own limit (which kills with SIGKILL, so no trap of ours would run).
# Whatever the script leaves behind dies with it: it is the first process of
# its own process namespace, and the kernel ends every other process there
# when it exits, however it exits.

script_name=$(basename "$0" .sh)

# Seconds each step may take on a busy two-core machine, where a fresh prefix
# takes about 25 s; CTest's limit for these scripts (360 s) covers them all.
xvfb_seconds=30
wineserver_seconds=30
wineboot_seconds=120
program_seconds=90
stop_seconds=20

# No first-run prompt (Mono, Gecko), no menu entries written for the user.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# Wine names Unix files in the locale's character set: under the POSIX locale of
# a bare shell it cannot reach a folder named "Čedomir Жанна".
export LC_ALL=C.UTF-8

# Re-runs the calling script inside fresh network, mount and process
# namespaces, with only loopback up (an ordinary user's inside a user
# namespace of its own). Where the user may make none: skipped (77), or
# failed under CI.
enter_private_namespaces() {
  if [ "${VELLOMAR_IN_PRIVATE_NETWORK:-}" = 1 ]; then
    ip link set lo up
    # Wine names the profile folder after $USER: in a user namespace of its own the user is root.
    USER=$(id -un)
    export USER
    # As the namespace's first process a signal with no handler is ignored.
    trap 'echo "$script_name: stopped by SIGTERM" >&2; show_state; exit 143' TERM
    trap 'echo "$script_name: stopped by SIGINT" >&2; exit 130' INT
    return
  fi
  . "$(dirname "${BASH_SOURCE[0]}")/../support/namespaces.sh"
  if ! namespaces_allowed --net --mount --pid --fork; then
    echo "$script_name: packets may only travel inside a private network namespace, which this user may not make" >&2
    [ -n "${CI:-}" ] && { echo "$script_name: failed: under CI this test must run" >&2; exit 1; }
    echo "$script_name: skipped" >&2
    exit 77
  fi
  VELLOMAR_IN_PRIVATE_NETWORK=1 exec unshare "${as_namespace_root[@]}" --net --mount --pid --fork --kill-child=TERM \
    --mount-proc -- "$BASH" "$0" "$@"
}

fail() {
  echo "$script_name: $*" >&2
  show_state
  exit 1
}

# What was found when a step failed: the processes of this namespace, and
# whatever the calling script adds in show_found.
show_state() {
  echo "$script_name: processes still running here:" >&2
  ps -eo pid,etime,args >&2 || true
  local log
  for log in "${scratch:-/nonexistent}"/*.log; do
    [ -s "$log" ] && { echo "--- $(basename "$log"):"; tail -n 20 "$log"; } >&2
  done
  if declare -F show_found >/dev/null; then show_found >&2 || true; fi
}

# bounded SECONDS STEP COMMAND...: runs COMMAND, and fails naming STEP if it
# has not ended within SECONDS.
bounded() {
  local seconds=$1 step=$2 status=0
  shift 2
  timeout --kill-after=5 "$seconds" "$@" || status=$?
  if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
    fail "timed out after $seconds s: $step"
  fi
  return "$status"
}

set_echo_ignored() {
  echo "$1" >/proc/sys/net/ipv4/icmp_echo_ignore_all
}

# A virtual display of the script's own, for programs that open windows.
start_display() {
  local display_file=$scratch/display
  : >"$display_file"
  Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$display_file" 2>"$scratch/xvfb.log" &
  xvfb=$!
  local waited=0
  until [ -s "$display_file" ]; do
    kill -0 "$xvfb" 2>/dev/null || { cat "$scratch/xvfb.log" >&2; fail "Xvfb ended before it showed a display"; }
    [ "$waited" -lt $((xvfb_seconds * 10)) ] || fail "timed out after $xvfb_seconds s: Xvfb starting"
    sleep 0.1
    waited=$((waited + 1))
  done
  export DISPLAY=":$(cat "$display_file")"
}

# A scratch folder and a wine prefix of this run's own, so that its wineserver
# starts here, inside the namespaces; the user's home is a fresh one in the
# scratch folder too, so every run meets wine as on a machine that never ran
# it. Everything is removed when the script ends. With_display starts a
# virtual display first: wine's desktop process, started with the prefix,
# picks its window driver once, and without a display it has none.
start_fresh_wine() {
  scratch=$(mktemp -d "${TMPDIR:-/tmp}/vellomar-wine-XXXXXX")
  trap stop_wine EXIT
  export HOME="$scratch/home" WINEPREFIX="$scratch/prefix"
  unset XDG_CACHE_HOME XDG_CONFIG_HOME XDG_DATA_HOME XDG_RUNTIME_DIR
  mkdir "$HOME" "$WINEPREFIX"
  unset DISPLAY WAYLAND_DISPLAY
  [ "${1:-}" = with_display ] && start_display
  bounded "$wineserver_seconds" "starting the wineserver" wineserver -p
  bounded "$wineboot_seconds" "wineboot making a fresh prefix" \
    bash -c 'exec wine wineboot --init >"$1" 2>&1' wineboot "$scratch/wineboot.log" ||
    fail "wineboot could not make a prefix"
}

# Debian's wine keeps its server's socket in a folder of its own in /tmp,
# named in the prefix, and leaves it there.
stop_wineserver() {
  local server_folder=""
  [ -f "$WINEPREFIX/wineserver" ] && server_folder=$(cat "$WINEPREFIX/wineserver")
  timeout --kill-after=5 "$stop_seconds" wineserver -k 2>/dev/null ||
    echo "$script_name: the wineserver did not stop within $stop_seconds s; it ends with this namespace" >&2
  [[ $server_folder =~ ^wine-[A-Za-z0-9]+$ ]] && rm -rf "/tmp/$server_folder" "${TMPDIR:-/tmp}/$server_folder"
  return 0
}

stop_wine() {
  local status=$?
  trap - EXIT
  [ -n "${cleanup_extra:-}" ] && eval "$cleanup_extra"
  stop_wineserver
  [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null
  chmod -R u+rwX "$scratch" 2>/dev/null
  rm -rf "$scratch"
  exit "$status"
}
