#!/usr/bin/env bash
# Installs what is missing, builds and starts the player.
# Usage: scripts/run.sh [FILE]
# With no FILE and no saved playlist yet, the player opens the demo playlist.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/deps.sh" run
"$here/scripts/build.sh" Release build
home="${NILO_HOME:-$here/build}"
if [ $# -eq 0 ] && [ ! -e "$home/current.m3u" ]; then
  set -- "$here/build/demo/demo.m3u"
fi
exec "$here/build/nilo" "$@"
