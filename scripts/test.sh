#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite twice:
# the release build, then the AddressSanitizer/UndefinedBehaviorSanitizer build.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
jobs=$(nproc)
status=0

scripts/build.sh Sanitize build-sanitize
echo "== sanitizer build =="
(cd build-sanitize && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --output-on-failure -j"$jobs" -LE nosan) || status=1

scripts/build.sh Release build
echo "== release build =="
(cd build && ctest --output-on-failure -j"$jobs") || status=1
exit $status
