#!/usr/bin/env bash
# Runs the Windows full-disk tests under wine with a 64 KiB disk of their own,
# mounted in a private mount namespace, where the daily log fills it up.
#   wine_full_disk.sh log_full_disk_tests.exe
set -euo pipefail
. "$(dirname "$0")/wine_common.sh"
enter_private_namespaces "$@"
tests=$1

start_fresh_wine
disk="$scratch/small disk"
mkdir "$disk"
mount -t tmpfs -o size=64k tmpfs "$disk"
cleanup_extra='umount "$disk" 2>/dev/null || true'
# Room that the test frees once the log has met the full disk.
head -c 8192 /dev/zero >"$disk/filler"
small_disk=$(bounded "$program_seconds" "winepath naming the small disk" winepath -w "$disk")
bounded "$program_seconds" "the full-disk tests" env VELLOMAR_SMALL_DISK="$small_disk" wine "$tests"
