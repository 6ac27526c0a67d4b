#!/usr/bin/env bash
# Installs what is missing, builds Vellomar and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build
ctest --test-dir build --output-on-failure --no-tests=error
