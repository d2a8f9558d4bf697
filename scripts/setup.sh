#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the fuzz build need.
# Safe to run again: it asks apt only for what is missing.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config ccache make
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev libgl-dev
  libpoppler-qt6-dev
  qt6-svg-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev clang-format
  python3
  # Art products arrive as zip archives; the program unpacks them with the system's tool.
  unzip
  # The lettering font, also for the desktop's other programs; Zandrel carries its own copy.
  fonts-comic-neue
  xvfb xauth
  # The tests render exported EPS files with a real PostScript interpreter.
  ghostscript
  # PNG files are compressed with zlib, in segments on several threads.
  zlib1g-dev
  # tcmalloc: documents of millions of small objects open and close in time proportional to them.
  libgoogle-perftools-dev
  # The export benchmark sets poppler's rasterisers beside our exports of the same page.
  poppler-utils
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
