#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Vellomar need,
# and only those that are missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev libgl-dev
  libgtest-dev
  clang libclang-rt-14-dev clang-format
  iproute2 libcap2-bin libcap-dev
  desktop-file-utils chromium fonts-dejavu-core python3
  mingw-w64 g++-mingw-w64-x86-64-posix wine wine64 xvfb xauth
  nsis zip
  trayer imagemagick x11-utils xdotool
)

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
