# Sourced by the scripts that run Windows programs under wine inside private
# network and mount namespaces. Every packet they send stays on that
# namespace's loopback, every disk they mount is theirs, and the wineserver
# that opens their files and sends their pings is started inside (one started
# outside would send from outside and not see the mounts).

# Re-runs the calling script inside fresh network and mount namespaces, with
# only loopback up. Without root there are none: skipped (77), or failed under
# CI.
enter_private_namespaces() {
  if [ "${VELLOMAR_IN_PRIVATE_NETWORK:-}" = 1 ]; then
    ip link set lo up
    return
  fi
  if [ "$(id -u)" -ne 0 ]; then
    echo "not root: packets may only travel inside a private network namespace, and making one needs root" >&2
    [ -n "${CI:-}" ] && exit 1
    exit 77
  fi
  VELLOMAR_IN_PRIVATE_NETWORK=1 exec unshare --net --mount -- "$BASH" "$0" "$@"
}

set_echo_ignored() {
  echo "$1" >/proc/sys/net/ipv4/icmp_echo_ignore_all
}

# A wine prefix of this run's own, so that its wineserver starts here, inside
# the namespace; removed with everything in it when the script ends.
start_fresh_wine() {
  scratch=$(mktemp -d "${TMPDIR:-/tmp}/vellomar-wine-XXXXXX")
  export WINEPREFIX="$scratch/prefix" WINEDEBUG=-all
  trap stop_wine EXIT
  mkdir "$WINEPREFIX"
  wineserver -p
  wine wineboot --init >/dev/null 2>&1
}

stop_wine() {
  local status=$?
  [ -n "${cleanup_extra:-}" ] && eval "$cleanup_extra"
  wineserver -k 2>/dev/null || true
  rm -rf "$scratch"
  exit "$status"
}
