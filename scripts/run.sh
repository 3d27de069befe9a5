#!/usr/bin/env bash
# Installs what is missing, builds and starts the player.
# Usage: scripts/run.sh [FILE]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/deps.sh" run
"$here/scripts/build.sh" Release build
if [ -x "$here/build/nilo" ]; then
  exec "$here/build/nilo" "$@"
fi
target=${1:-$here/build/demo/demo.m3u}
if [[ "$target" == *.m3u ]]; then
  base="$(dirname "$target")"
  while IFS= read -r line; do
    line=${line%$'\r'}
    [[ -z "$line" || "$line" == \#* ]] && continue
    [[ "$line" == /* ]] || line="$base/$line"
    echo "Playing $line"
    "$here/build/nilo-audio" play "$line" || true
  done < "$target"
else
  exec "$here/build/nilo-audio" play "$target"
fi
