#!/usr/bin/env bash
# Cross-builds Vellomar for 64-bit Windows and runs its test suite under wine,
# in a wine prefix of this run's own that is removed afterwards.
#   scripts/test-windows.sh [build folder, build-windows by default]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-windows}

for tool in x86_64-w64-mingw32-g++-posix wine wineserver Xvfb unshare; do
  command -v "$tool" >/dev/null || { echo "missing: $tool (scripts/install-deps.sh installs it)" >&2; exit 1; }
done

cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake >/dev/null
cmake --build "$build"

# The programs must need nothing but the system's own DLLs.
for program in "$build/vellomar.exe" "$build/tests/windows/stand_in_monitor.exe"; do
  [ -e "$program" ] || continue
  for dll in $(x86_64-w64-mingw32-objdump -p "$program" | sed -n 's/^\s*DLL Name: //p'); do
    case "${dll,,}" in
      kernel32.dll | user32.dll | gdi32.dll | advapi32.dll | shell32.dll | ole32.dll | comctl32.dll | \
        comdlg32.dll | wsock32.dll | ws2_32.dll | iphlpapi.dll | msvcrt.dll | uxtheme.dll | api-ms-win-*) ;;
      *) echo "$program imports $dll, which Windows does not ship" >&2; exit 1 ;;
    esac
  done
done

scratch=$(mktemp -d "${TMPDIR:-/tmp}/vellomar-wine-XXXXXX")
export WINEPREFIX="$scratch/prefix" WINEDEBUG=-all
trap 'wineserver -k 2>/dev/null || true; rm -rf "$scratch"' EXIT
# One wineserver for the whole run: otherwise every test pays its start-up.
mkdir "$WINEPREFIX"
wineserver -p
wine wineboot --init >/dev/null 2>&1
ctest --test-dir "$build" --output-on-failure --no-tests=error
