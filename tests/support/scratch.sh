# Sourced by the test scripts that start programs: a scratch folder and the
# programs' process ids in pids, all ended and removed on the way out, however
# the script ends. On a failure the last lines of every log in the scratch
# folder are shown, and then on_failure runs when the script defines it.
scratch=$(mktemp -d)
pids=()
cleanup() {
  local status=$?
  if [ "$status" -ne 0 ]; then
    tail -n 5 "$scratch"/*.log >&2 || true
    ! declare -F on_failure >/dev/null || on_failure || true
  fi
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$scratch"
  exit "$status"
}
trap cleanup EXIT
