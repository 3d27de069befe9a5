#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need.
# Usage: scripts/deps.sh [run|test]   (test also installs the test tools)
set -euo pipefail
what=${1:-test}

build_pkgs=(build-essential cmake pkgconf ninja-build qt6-base-dev qt6-svg-dev libsdl2-dev libmpg123-dev
  libvorbis-dev libsndfile1-dev libopenmpt-dev libfluidsynth-dev libcdio-dev
  libcdio-paranoia-dev libavformat-dev libavcodec-dev libswresample-dev
  libcurl4-openssl-dev libssl-dev libflac-dev libopusfile-dev libgtest-dev libbenchmark-dev timgm6mb-soundfont
  fonts-liberation2 fonts-dejavu-core lame vorbis-tools ffmpeg)
test_pkgs=(xvfb xauth xdotool x11-utils imagemagick ffmpeg sox lame mpg123 vorbis-tools
  python3-mutagen playerctl dbus-daemon dbus-x11 desktop-file-utils python3-pyatspi at-spi2-core clang
  libclang-rt-14-dev libtag1-dev file curl icecast2 flac opus-tools)

pkgs=("${build_pkgs[@]}")
[ "$what" = test ] && pkgs+=("${test_pkgs[@]}")

missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
