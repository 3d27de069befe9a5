#!/usr/bin/env bash
# Runs one libFuzzer binary for a while on its corpus folder; fails on a finding.
# Usage: run_fuzzer.sh BINARY SECONDS CORPUS [DICTIONARY]
# The environment variable FUZZ_SECONDS overrides SECONDS.
set -euo pipefail
binary=$1
seconds=${FUZZ_SECONDS:-$2}
corpus=$3
dict=${4:-}
mkdir -p "$corpus"
args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
      -artifact_prefix="$corpus/../$(basename "$binary")-")
[ -n "$dict" ] && args+=(-dict="$dict")
exec "$binary" "${args[@]}" "$corpus"
