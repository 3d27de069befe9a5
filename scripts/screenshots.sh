#!/usr/bin/env bash
# Builds the player and renders every window to PNG files in
# <build folder>/screenshots: English and Russian, scale factors 1 and 2, on
# Qt's offscreen platform without a sound card. Each run starts in a scratch
# player folder, so the build's config.cfg and current.m3u stay untouched.
# Usage: scripts/screenshots.sh [build folder]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
scripts/build.sh Release "$dir"
out="$dir/screenshots"
mkdir -p "$out"
rm -f "$out"/*.png
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for language in en ru; do
  for scale in 1 2; do
    rm -rf "$work/home"
    mkdir "$work/home"
    cp -r "$dir/Lng" "$dir/radiostations.cfg" "$work/home/"
    if ! NILO_HOME="$work/home" QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR=$scale SDL_AUDIODRIVER=dummy \
      "$dir/nilo-screenshots" "$out" "$language" "$dir/demo/demo.m3u" 2>"$work/log"; then
      cat "$work/log" >&2
      exit 1
    fi
    # The offscreen platform says what it cannot do for every window.
    grep -v 'This plugin does not support' "$work/log" >&2 || true
  done
done
echo "$(find "$out" -name '*.png' | wc -l) pictures in $out"
