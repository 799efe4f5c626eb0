#!/usr/bin/env bash
# Installs, on Debian 12, every package that building, running and testing Velmora needs.
# Safe to run again: it asks apt-get only for what is missing. Never installs wine32
# (the 32-bit loader breaks the 64-bit one on these machines).
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  g++-mingw-w64-x86-64 g++-mingw-w64-i686 binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  googletest libgtest-dev libbenchmark-dev
  clang libclang-rt-14-dev
  wine wine64 xvfb xdotool x11-utils imagemagick
  cups cups-client cups-bsd printer-driver-cups-pdf poppler-utils
  fonts-wine fonts-liberation
  python3
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

# A real ImageMagick: some images ship a stand-in `convert` that cannot draw text.
if ! dpkg-query -W -f='${Status}' imagemagick 2>/dev/null | grep -q 'install ok installed'; then
  :
fi

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" != 0 ]; then
  echo "deps: missing packages: ${missing[*]}" >&2
  echo "deps: run as root (or install them with apt-get) and try again" >&2
  exit 1
fi

echo "deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
