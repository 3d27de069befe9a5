#!/usr/bin/env bash
# The desktop entry validates; scripts/install.sh puts the player, its entry
# and icons under a prefix whose name has a space, the installed player
# starts on a file, and --uninstall leaves only what was there before.
# Usage: install_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1
export NILO_BUILD_DIR=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/my prefix"
fail() { echo "FAIL: $*" >&2; exit 1; }

desktop-file-validate "$source_dir/data/nilo.desktop" || fail "the desktop entry does not validate"
mkdir -p "$prefix/share/applications"
echo "[Desktop Entry]" >"$prefix/share/applications/other.desktop"

"$source_dir/scripts/install.sh" "$prefix" >/dev/null
entry="$prefix/share/applications/nilo.desktop"
desktop-file-validate "$entry" || fail "the installed entry does not validate"
grep -qx "Exec=\"$prefix/lib/nilo/nilo\" %f" "$entry" || fail "Exec does not name the installed player"
[ -x "$prefix/bin/nilo" ] || fail "no command in bin"
for size in 16 22 24 32 48 64 128 256; do
  icon="$prefix/share/icons/hicolor/${size}x${size}/apps/nilo.png"
  file "$icon" | grep -q "$size x $size" || fail "icon $icon is not ${size}x${size}"
done

# The installed player finds its language files and plugins on its own.
sox -n -r 44100 -c 2 "$work/tone.wav" synth 5 sine 440 2>/dev/null
QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy "$prefix/bin/nilo" "$work/tone.wav" 2>/dev/null &
player=$!
for _ in $(seq 100); do [ -e "$prefix/lib/nilo/config.cfg" ] && break; sleep 0.1; done
kill -0 "$player" 2>/dev/null || fail "the installed player did not keep running"
kill -TERM "$player"
wait "$player" || fail "the installed player did not end cleanly on SIGTERM"
[ -e "$prefix/lib/nilo/config.cfg" ] || fail "the installed player kept no settings in its folder"

"$source_dir/scripts/install.sh" --uninstall "$prefix" >/dev/null
left=$(cd "$prefix" && find . -mindepth 1 | sort | tr '\n' ' ')
[ "$left" = "./share ./share/applications ./share/applications/other.desktop " ] ||
  fail "uninstall left: $left"
echo "install and uninstall: ok"
