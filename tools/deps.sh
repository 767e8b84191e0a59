#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the benchmarks need.
set -euo pipefail
pkgs=(
  build-essential cmake ninja-build pkg-config git
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xdotool x11-utils
  libsdl2-dev libx11-dev libgl-dev libglu1-mesa-dev libgl1-mesa-dri
  zlib1g-dev libminizip-dev libarchive-dev p7zip-full zip unzip squashfs-tools squashfuse fuse3 procps
  libpng-dev libsquish-dev libfreetype-dev fonts-dejavu-core libjpeg-dev libsodium-dev
  python3 python3-pil imagemagick curl ffmpeg xfonts-base
  libjemalloc-dev libmimalloc-dev
  libpolyclipping-dev libboost-dev libcgal-dev libgmp-dev
  clang libclang-rt-14-dev
)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
