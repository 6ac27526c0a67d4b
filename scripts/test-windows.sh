#!/usr/bin/env bash
# Cross-builds Vellomar for 64-bit Windows and runs its test suite under wine,
# in a wine prefix of this run's own that is removed afterwards.
#   scripts/test-windows.sh [BUILD_FOLDER [CTEST_OPTION...]]
# BUILD_FOLDER is build-windows by default; CTEST_OPTIONs pick tests, as in
#   scripts/test-windows.sh build-windows -R end_to_end
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-windows}
shift $(($# > 0 ? 1 : 0))

for tool in x86_64-w64-mingw32-g++-posix wine wineserver Xvfb unshare; do
  command -v "$tool" >/dev/null || { echo "missing: $tool (scripts/install-deps.sh installs it)" >&2; exit 1; }
done

cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake >/dev/null
cmake --build "$build"

# The program must need nothing but the system's own DLLs.
program=$build/vellomar.exe
for dll in $(x86_64-w64-mingw32-objdump -p "$program" | sed -n 's/^\s*DLL Name: //p'); do
  case "${dll,,}" in
    kernel32.dll | user32.dll | gdi32.dll | advapi32.dll | shell32.dll | ole32.dll | comctl32.dll | \
      comdlg32.dll | wsock32.dll | ws2_32.dll | iphlpapi.dll | msvcrt.dll | uxtheme.dll | api-ms-win-*) ;;
    *) echo "$program imports $dll, which Windows does not ship" >&2; exit 1 ;;
  esac
done

# The test programs that need no namespace of their own share one prefix and
# one wineserver: otherwise every test pays their start-up. The scripts that
# make namespaces start their own inside. Every wait is bounded; a test with
# no limit of its own gets 300 s.
scratch=$(mktemp -d "${TMPDIR:-/tmp}/vellomar-wine-XXXXXX")
export WINEPREFIX="$scratch/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# Wine names Unix files in the locale's character set; the tests' folder names are not ASCII.
export LC_ALL=C.UTF-8
# The same run on a desktop as on CI: no window of these tests on the user's screen.
unset DISPLAY WAYLAND_DISPLAY
stop_wine() {
  local server_folder=""
  [ -f "$WINEPREFIX/wineserver" ] && server_folder=$(cat "$WINEPREFIX/wineserver")
  timeout --kill-after=5 20 wineserver -k 2>/dev/null || true
  # Debian's wine leaves its server's folder, named in the prefix, in /tmp.
  [[ $server_folder =~ ^wine-[A-Za-z0-9]+$ ]] && rm -rf "/tmp/$server_folder" "${TMPDIR:-/tmp}/$server_folder"
  rm -rf "$scratch"
}
trap stop_wine EXIT
trap 'exit 143' TERM
trap 'exit 130' INT
mkdir "$WINEPREFIX"
timeout --kill-after=5 30 wineserver -p || { echo "test-windows: the wineserver did not start within 30 s" >&2; exit 1; }
status=0
timeout --kill-after=5 120 wine wineboot --init >"$scratch/wineboot.log" 2>&1 || status=$?
if [ "$status" -ne 0 ]; then
  cat "$scratch/wineboot.log" >&2
  case $status in
    124 | 137) echo "test-windows: timed out after 120 s: wineboot making the shared prefix" >&2 ;;
    *) echo "test-windows: wineboot could not make the shared prefix (exit $status)" >&2 ;;
  esac
  exit 1
fi
. tests/support/namespaces.sh
if ! namespaces_allowed --net --mount --pid --fork; then
  echo "The tests that ping or fill a disk under wine need network and mount namespaces of their own," \
    "which this user may not make; they are skipped${CI:+, and under CI they fail}."
fi
ctest --test-dir "$build" --output-on-failure --no-tests=error --timeout 300 "$@"
[ $# -eq 0 ] || exit 0

echo "== The setup: install, upgrade over a running monitor, uninstall"
scripts/package-windows.sh "$build"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
status=0
timeout --kill-after=10 360 tests/windows/wine_installer.sh "dist/Vellomar-$version-setup.exe" "$build/vellomar.exe" ||
  status=$?
case $status in
  0) ;;
  77) echo "the setup's test was skipped (see above)" ;;
  124 | 137) echo "test-windows: the setup's test did not end within 360 s" >&2; exit 1 ;;
  *) exit "$status" ;;
esac
