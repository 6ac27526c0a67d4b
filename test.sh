#!/usr/bin/env bash
# Installs what is missing, builds Vellomar and runs the whole test suite: once
# as built, once under AddressSanitizer and UndefinedBehaviorSanitizer (all but
# the long tests, which wait on the clock and run once, beside the rest), then
# each fuzz target for a bounded time (FUZZ_SECONDS, 30 by default), and last
# the Windows build's suite under wine.
set -euo pipefail
cd "$(dirname "$0")"
fuzz_seconds=${FUZZ_SECONDS:-30}

scripts/install-deps.sh

echo "== Formatting"
scripts/check-format.sh

echo "== Build and test"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELLOMAR_TESTS=ON >/dev/null
cmake --build build
# The long tests mostly wait on the clock: they run beside the rest of the
# suite, the sanitizer build and the fuzzing, and are waited for after those.
long_log=$(mktemp)
ctest --test-dir build --output-on-failure --no-tests=error -L long >"$long_log" 2>&1 &
long_tests=$!
trap 'kill "$long_tests" 2>/dev/null || true' EXIT
ctest --test-dir build --output-on-failure --no-tests=error -LE long

echo "== Build and test under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELLOMAR_SANITIZE=ON >/dev/null
cmake --build build-asan
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure --no-tests=error -LE long

echo "== Fuzz each target for ${fuzz_seconds} s"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVELLOMAR_FUZZ=ON -DVELLOMAR_TESTS=OFF >/dev/null
for seeds in fuzz/corpus/*/; do
  name=$(basename "$seeds")
  cmake --build build-fuzz --target "${name}_fuzz"
  work=$(mktemp -d)
  scratch=$(mktemp -d)
  mkdir -p build-fuzz/crashes
  status=0
  TMPDIR="$scratch" "build-fuzz/fuzz/${name}_fuzz" -max_total_time="$fuzz_seconds" -max_len=16384 -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix=build-fuzz/crashes/ "$work" "$seeds" >"$work.log" 2>&1 || status=$?
  grep -E "DONE|^stat::number_of_executed_units|ERROR" "$work.log" | sed "s/^/${name}: /" || true
  if [ "$status" -ne 0 ]; then
    tail -n 40 "$work.log" >&2
    echo "fuzz target ${name}_fuzz failed (exit $status); the input is in build-fuzz/crashes/" >&2
    exit 1
  fi
  rm -rf "$work" "$work.log" "$scratch"
done

echo "== The long tests, run beside the rest"
status=0
wait "$long_tests" || status=$?
cat "$long_log"
rm -f "$long_log"
[ "$status" -eq 0 ] || { echo "the long tests failed (exit $status)" >&2; exit 1; }

echo "== Cross-build for Windows and test under wine"
scripts/test-windows.sh build-windows
echo "== All tests passed"
