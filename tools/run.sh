#!/usr/bin/env bash
# Builds the program, makes the sample disc and opens the installer on it.
# usage: run.sh [DESTINATION_FOLDER]   (default: ./out/Volarium 9; once installed, the folder
# beside it named after the disc's version)
set -euo pipefail
# A relative destination is taken from where the command was started.
dest="${1:-}"
if [ -n "$dest" ] && [ "${dest#/}" = "$dest" ]; then dest="$PWD/$dest"; fi
cd "$(dirname "$0")/.."
bash tools/deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j"$(nproc)"
# Absolute folders: the sample generator runs its archiver from inside the master tree.
bash tools/make_sample_disc.sh "$PWD/build/default" "$PWD/build/sample"
dest="${dest:-$PWD/out/Volarium 9}"
# A finished installation takes the name of the disc's version folder: run again, the
# installation is found there instead of a second copy being made beside it.
version="$(sed -n 's/^VERSION[[:blank:]]*//p' build/sample/disc/dvd_version.txt | tail -n 1 | tr -d '\r')"
installed="$(dirname "$dest")/$version"
if [ ! -e "$dest" ] && [ -n "$version" ] && [ -d "$installed" ]; then
  dest="$installed"
fi
mkdir -p "$(dirname "$dest")"
echo "installing into: $dest"
exec build/default/src/apps/volarium-installer -path "$dest" "--disc=$PWD/build/sample/disc/"
