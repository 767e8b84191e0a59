#!/usr/bin/env bash
# Builds the program and runs the installer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j"$(nproc)"
exec build/default/src/apps/volarium-installer "$@"
