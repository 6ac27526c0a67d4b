#!/usr/bin/env bash
# Installs the Debian packages that Vellomar needs, and only those that are
# missing:
#
#   scripts/install-deps.sh          building, running and testing (test.sh)
#   scripts/install-deps.sh --run    building and running only (run.sh, install.sh)
set -euo pipefail

run_packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev libgl-dev
  libcap2-bin libcap-dev
  desktop-file-utils binutils libxcb1-dev
)
test_packages=(
  libgtest-dev
  clang libclang-rt-14-dev clang-format
  iproute2
  chromium fonts-dejavu-core python3 appstream dbus-daemon python3-dbus python3-gi
  mingw-w64 g++-mingw-w64-x86-64-posix wine wine64 xvfb xauth
  nsis zip
  trayer imagemagick x11-utils xdotool
)

case "${1:-}" in
  --run) packages=("${run_packages[@]}") ;;
  "") packages=("${run_packages[@]}" "${test_packages[@]}") ;;
  *) echo "usage: $0 [--run]" >&2; exit 2 ;;
esac

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq "${missing[@]}"
