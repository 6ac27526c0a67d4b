#!/usr/bin/env bash
# Cross-builds vellomar.exe and packs it for Windows users:
#   dist/Vellomar-VERSION-setup.exe          per-user setup (NSIS)
#   dist/vellomar-VERSION-windows-x64.zip    the exe, a sample Vellomar.ini, README.txt
# VERSION is the project's, from CMake.
#   scripts/package-windows.sh [BUILD_FOLDER, build-windows by default]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-windows}

scripts/install-deps.sh
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake >/dev/null
cmake --build "$build" --target vellomar

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[[ $version =~ ^[0-9]+(\.[0-9]+){0,3}$ ]] || { echo "no project version in $build/CMakeCache.txt" >&2; exit 1; }
# Four numbers, as Windows versions are written.
file_version=$version
while [[ $file_version =~ ^[0-9]+(\.[0-9]+){0,2}$ ]]; do file_version=$file_version.0; done

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
# Text for Windows: CR LF line ends.
sed 's/\r*$/\r/' app/Vellomar.sample.ini >"$stage/Vellomar.ini"
sed 's/\r*$/\r/' packaging/README.txt >"$stage/README.txt"
cp "$build/vellomar.exe" "$stage/vellomar.exe"

mkdir -p dist
setup=dist/Vellomar-$version-setup.exe
zip=dist/vellomar-$version-windows-x64.zip
makensis -V2 -DVERSION="$version" -DFILE_VERSION="$file_version" -DEXE="$stage/vellomar.exe" \
  -DSAMPLE_INI="$stage/Vellomar.ini" -DICON="$(realpath "$build/app/win32/vellomar.ico")" -DOUTFILE="$PWD/$setup" packaging/vellomar.nsi
rm -f "$zip"
(cd "$stage" && zip -q -X "$OLDPWD/$zip" vellomar.exe Vellomar.ini README.txt)
echo "Written: $setup, $zip"
