#!/usr/bin/env bash
# Builds the program, makes the sample disc and opens the installer on it.
# usage: run.sh [DESTINATION_FOLDER]   (default: ./out/Volarium 9)
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j"$(nproc)"
# Absolute folders: the sample generator runs its archiver from inside the master tree.
bash tools/make_sample_disc.sh "$PWD/build/default" "$PWD/build/sample"
dest="${1:-$PWD/out/Volarium 9}"
mkdir -p "$(dirname "$dest")"
echo "installing into: $dest"
exec build/default/src/apps/volarium-installer -path "$dest" "--disc=$PWD/build/sample/disc/"
