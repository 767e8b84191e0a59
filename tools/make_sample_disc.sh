#!/usr/bin/env bash
# Makes the sample disc: the sample product master, then its main disc written by the
# master-building edition. usage: make_sample_disc.sh BUILD_DIR OUT_DIR
# Leaves OUT_DIR/master (the master tree) and OUT_DIR/disc (the disc's root folder).
set -euo pipefail
build="$1"
out="$2"
here="$(cd "$(dirname "$0")" && pwd)"
if [ -f "$out/disc/dvd_version.txt" ]; then
  exit 0
fi
rm -rf "$out"
mkdir -p "$out/disc"
python3 "$here/make_sample_master.py" "$out/master"
"$build/src/apps/volarium-master" "--master_src=$out/master" "--master_dst=$out/disc" > "$out/master.log" 2>&1
echo "sample disc: $out/disc"
