# Sourced by the test scripts: check WHAT COMMAND... runs the command, says
# "ok" or "FAILED" for what it checks, and counts both; checks_summary prints
# the closing line and fails when any check failed. require is a check the
# rest depends on: when it fails, the script ends there.
passes=0
failures=0
# A command outside the checks that ends the script under set -e says so.
trap 'echo "$(basename "$0"): stopped at line $LINENO by: $BASH_COMMAND" >&2' ERR

check() {
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; passes=$((passes + 1)); else echo "FAILED: $what"; failures=$((failures + 1)); fi
}

checks_summary() {
  echo "$passes passed, $failures failed"
  [ "$failures" -eq 0 ]
}

require() {
  check "$@" || true
  [ "$failures" -eq 0 ] || { checks_summary; exit 1; }
}

# Waits up to $1 seconds for the command after it; fails naming the step.
wait_for() {
  local seconds=$1 step=$2
  shift 2
  local deadline=$((SECONDS + seconds))
  until "$@"; do
    if [ "$SECONDS" -ge "$deadline" ]; then
      echo "FAILED: $step: not within ${seconds} s" >&2
      return 1
    fi
    sleep 0.3
  done
}
