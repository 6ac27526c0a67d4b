# Sourced by the test scripts that make namespaces of their own. Root makes
# them at once; an ordinary user becomes root of a user namespace of its own
# first, which unshare does when given as_namespace_root.
as_namespace_root=()
[ "$(id -u)" -eq 0 ] || as_namespace_root=(--map-root-user)

# namespaces_allowed UNSHARE_OPTION...: whether this user may make them.
namespaces_allowed() {
  unshare "${as_namespace_root[@]}" "$@" true 2>/dev/null
}

# cannot_run WHY: a test that cannot run here is skipped (77), and fails under CI.
cannot_run() {
  if [ "${CI:-}" = true ]; then
    echo "FAILED: $1" >&2
    exit 1
  fi
  echo "skipped: $1"
  exit 77
}
