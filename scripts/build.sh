#!/usr/bin/env bash
# Configures and builds one build type into its folder.
# Usage: scripts/build.sh [Release|Sanitize] [folder]
set -euo pipefail
cd "$(dirname "$0")/.."
type=${1:-Release}
dir=${2:-build}
[ "$type" = Sanitize ] && [ "$dir" = build ] && dir=build-sanitize
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" >/dev/null
cmake --build "$dir" -j"$(nproc)"
