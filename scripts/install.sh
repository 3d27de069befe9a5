#!/usr/bin/env bash
# Installs the player for the current user: the program folder (the player,
# its plugins, language files and help) as PREFIX/lib/nilo, the command
# PREFIX/bin/nilo, the desktop entry and the icons under PREFIX/share.
# The player keeps its settings and playlist in its program folder, so they
# go with an uninstall.
# Usage: scripts/install.sh [PREFIX]             (default: ~/.local)
#        scripts/install.sh --uninstall [PREFIX]
# NILO_BUILD_DIR names a build folder to install from as it is; without it
# the release build in build/ is brought up to date first.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
uninstall=0
prefix=""
for arg in "$@"; do
  case "$arg" in
    --uninstall) uninstall=1 ;;
    -*) echo "usage: $0 [--uninstall] [PREFIX]" >&2; exit 2 ;;
    *) prefix="$arg" ;;
  esac
done
prefix="${prefix:-$HOME/.local}"
sizes=(16 22 24 32 48 64 128 256)
installed=(lib/nilo bin/nilo share/applications/nilo.desktop share/icons/hicolor/scalable/apps/nilo.svg)
for size in "${sizes[@]}"; do installed+=("share/icons/hicolor/${size}x${size}/apps/nilo.png"); done

refresh_menus() {
  if command -v update-desktop-database >/dev/null && [ -d "$prefix/share/applications" ]; then
    update-desktop-database -q "$prefix/share/applications" || true
  fi
}

# Removes the folders this script made once they are empty, and the menu
# cache once it lists no file kinds.
prune() {
  local cache="$prefix/share/applications/mimeinfo.cache"
  if [ -f "$cache" ] && ! grep -qv '^\[MIME Cache\]$' "$cache"; then
    rm -f "$cache"
  fi
  for entry in "${installed[@]}"; do
    local dir
    dir=$(dirname "$prefix/$entry")
    while [ "$dir" != "$prefix" ] && [ "${dir#"$prefix"/}" != "$dir" ] && rmdir "$dir" 2>/dev/null; do
      dir=$(dirname "$dir")
    done
  done
}

if [ "$uninstall" = 1 ]; then
  for entry in "${installed[@]}"; do rm -rf "${prefix:?}/$entry"; done
  refresh_menus
  prune
  echo "Removed Nilo Music Player from $prefix"
  exit 0
fi

build="${NILO_BUILD_DIR:-}"
if [ -z "$build" ]; then
  "$here/scripts/deps.sh" run
  "$here/scripts/build.sh" Release build
  build="$here/build"
fi
for needed in nilo nilo-icons Lng Help.html radiostations.cfg; do
  [ -e "$build/$needed" ] || { echo "$build has no $needed: build the player first" >&2; exit 1; }
done

program="$prefix/lib/nilo"
mkdir -p "$program" "$prefix/bin" "$prefix/share/applications"
cp "$build/nilo" "$build/Help.html" "$program/"
cp "$build"/nilo-*.so "$program/" 2>/dev/null || true
rm -rf "$program/Lng"
cp -r "$build/Lng" "$program/"
# The station list is the user's to edit: a list already there stays.
[ -e "$program/radiostations.cfg" ] || cp "$build/radiostations.cfg" "$program/"
ln -sfn "../lib/nilo/nilo" "$prefix/bin/nilo"
"$build/nilo-icons" "$here/data/Images/nilo.svg" "$prefix/share/icons/hicolor"
sed "s|^Exec=nilo |Exec=\"$program/nilo\" |; s|^TryExec=nilo$|TryExec=$program/nilo|" \
  "$here/data/nilo.desktop" >"$prefix/share/applications/nilo.desktop"
refresh_menus
echo "Installed Nilo Music Player in $prefix (run $prefix/bin/nilo)"
