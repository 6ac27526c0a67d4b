#!/usr/bin/env bash
# Installs what is missing, builds Vellomar and starts the monitor.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh --run
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELLOMAR_TESTS=OFF >/dev/null
cmake --build build --target vellomar vellomar-ping

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "Vellomar is built (build/vellomar) but there is no graphical display here:" >&2
  echo "neither DISPLAY nor WAYLAND_DISPLAY is set. Run ./run.sh from a desktop session." >&2
  exit 2
fi

scripts/grant-ping.sh build/vellomar-ping
echo "Watching the host named in build/Vellomar.ini; daily logs and ERR_list.csv appear in build/."
echo "They go with build/ (rm -rf build, a fresh clone): to keep them, install with ./install.sh."
exec build/vellomar
