#!/usr/bin/env bash
# Installs Vellomar for the current user as a program folder of its own, with a
# menu entry, icons and (with --autostart) a start at login:
#
#   ./install.sh [FOLDER] [--autostart] [--host "NAME, IPv4"]
#                                         install or update, ~/Vellomar by default
#   ./install.sh --uninstall [FOLDER]     remove the program, keep its records
#
# --autostart starts the monitor at login, minimized to its tray icon. --host
# writes the watched host into a new Vellomar.ini. The daily logs,
# ERR_list.csv, ERR_list.html and Vellomar.ini in FOLDER are never removed or
# overwritten.
set -euo pipefail
cd "$(dirname "$0")"

build=${VELLOMAR_BUILD:-build}
data_home=${XDG_DATA_HOME:-$HOME/.local/share}
config_home=${XDG_CONFIG_HOME:-$HOME/.config}
menu_entry=$data_home/applications/vellomar.desktop
metainfo=$data_home/metainfo/example.vellomar.vellomar.metainfo.xml
autostart_entry=$config_home/autostart/vellomar.desktop
icon_sizes=(16 32 48 256)

usage() {
  echo "usage: $0 [FOLDER] [--autostart] [--host \"NAME, IPv4\"] | $0 --uninstall [FOLDER]" >&2
  exit 2
}

# The host line as the monitor will read it, or why it is refused: the program
# itself checks it, so that the two never disagree. Prints "NAME, ADDRESS".
checked_host_line() {
  "$build/vellomar" --check-host "$1" || {
    echo "--host wants a name, a comma and a dotted IPv4 address, as in \"My gateway, 192.0.2.1\"" >&2
    exit 2
  }
}

folder=$HOME/Vellomar
autostart=false
uninstall=false
folder_given=false
host=""
while [ $# -gt 0 ]; do
  case $1 in
    --autostart) autostart=true ;;
    --uninstall) uninstall=true ;;
    --host) [ $# -ge 2 ] || usage; host=$2; shift ;;
    --host=*) host=${1#--host=} ;;
    -*) usage ;;
    *) $folder_given && usage; folder=$1; folder_given=true ;;
  esac
  shift
done
$uninstall && { $autostart || [ -n "$host" ]; } && usage
folder=$(realpath -m "$folder")

icon_path() { echo "$data_home/icons/hicolor/${1}x${1}/apps/vellomar.png"; }

# A desktop entry's Exec key takes the path in double quotes, with \ " ` $
# escaped inside the quotes, every \ escaped again as a string value, and % doubled.
exec_quoted() {
  printf '"%s"' "$(printf '%s' "$1" | sed -e 's/\\/\\\\\\\\/g' -e 's/["`$]/\\\\&/g' -e 's/%/%%/g')"
}

write_entry() {
  local file=$1 arguments=$2 extra=$3 temporary
  mkdir -p "$(dirname "$file")"
  temporary=$(mktemp --tmpdir="$(dirname "$file")" --suffix=.desktop .vellomar.XXXXXX)
  {
    echo "[Desktop Entry]"
    echo "Type=Application"
    echo "Name=Vellomar"
    echo "GenericName=Connection outage log"
    echo "Comment=Pings one host every ten seconds and keeps a record of every outage"
    echo "Exec=$(exec_quoted "$folder/vellomar")${arguments:+ $arguments}"
    echo "Path=${folder//\\/\\\\}"
    echo "Icon=vellomar"
    echo "Terminal=false"
    echo "Categories=Network;Monitor;"
    [ -z "$extra" ] || echo "$extra"
  } >"$temporary"
  if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$temporary"
  fi
  chmod 0644 "$temporary"
  mv -f "$temporary" "$file"
}

refresh_caches() {
  command -v update-desktop-database >/dev/null && update-desktop-database -q "$data_home/applications" || true
  command -v gtk-update-icon-cache >/dev/null && gtk-update-icon-cache -q -t "$data_home/icons/hicolor" || true
}

# Copies a program in beside a running one without disturbing it: the old file
# is replaced by a rename, never written over. The copy leaves the build's
# debug information behind (most of the file's size).
install_program() {
  local source=$1 target=$2 temporary
  temporary=$(mktemp "$target.XXXXXX")
  strip --strip-debug -o "$temporary" "$source"
  chmod 0755 "$temporary"
  mv -f "$temporary" "$target"
}

# A new Vellomar.ini: the sample, or with --host the sample's comments and that
# host. One already there is the user's and stays as it is.
place_host_file() {
  local file=$folder/Vellomar.ini temporary
  if [ -e "$file" ]; then
    [ -z "$host" ] || echo "$file is already there and stays as it is; --host did not change it." >&2
    return
  fi
  temporary=$(mktemp "$file.XXXXXX")
  if [ -n "$host" ]; then
    { grep '^;' app/Vellomar.sample.ini; printf '%s\n' "$host"; } >"$temporary"
  else
    cp app/Vellomar.sample.ini "$temporary"
  fi
  chmod 0644 "$temporary"
  # A link, not a rename: it fails rather than replace a file that appeared meanwhile.
  ln "$temporary" "$file" 2>/dev/null || true
  rm -f "$temporary"
}

# What software centres show of the program, beside its menu entry.
install_metainfo() {
  mkdir -p "$(dirname "$metainfo")"
  if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net --no-color "$build/vellomar.metainfo.xml" >/dev/null
  fi
  install -m 0644 "$build/vellomar.metainfo.xml" "$metainfo"
}

uninstall_vellomar() {
  rm -f "$folder/vellomar" "$folder/vellomar-ping" "$menu_entry" "$autostart_entry" "$metainfo"
  for size in "${icon_sizes[@]}"; do rm -f "$(icon_path "$size")"; done
  refresh_caches
  rmdir "$folder" 2>/dev/null || true
  echo "Vellomar is removed. Its records stay in $folder (PING_*.txt, GATEWAY_*.txt, ERR_list.*, Vellomar.ini)."
}

install_vellomar() {
  scripts/install-deps.sh --run
  [ -f "$build/build.ninja" ] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELLOMAR_TESTS=OFF >/dev/null
  cmake --build "$build" --target vellomar vellomar-ping make_icon
  [ -z "$host" ] || host=$(checked_host_line "$host") || exit 2

  mkdir -p "$folder"
  install_program "$build/vellomar" "$folder/vellomar"
  install_program "$build/vellomar-ping" "$folder/vellomar-ping"
  place_host_file

  local icons
  icons=$(mktemp -d)
  "$build/icon/make_icon" "$icons/vellomar.ico" "$icons/vellomar"
  for size in "${icon_sizes[@]}"; do
    mkdir -p "$(dirname "$(icon_path "$size")")"
    install -m 0644 "$icons/vellomar-$size.png" "$(icon_path "$size")"
  done
  rm -rf "$icons"

  write_entry "$menu_entry" "" ""
  install_metainfo
  if $autostart; then
    write_entry "$autostart_entry" "--minimized" "X-GNOME-Autostart-enabled=true"
  fi
  refresh_caches
  scripts/grant-ping.sh "$folder/vellomar-ping"

  echo "Vellomar is installed in $folder; it is in the menu as Vellomar."
  $autostart && echo "It starts when you log in, in the tray ($autostart_entry)."
  echo "Edit $folder/Vellomar.ini to choose the host it watches; its logs and report appear there too."
}

if $uninstall; then uninstall_vellomar; else install_vellomar; fi
