#!/usr/bin/env bash
# Builds the program and runs every test under a virtual X display (Mesa's software OpenGL).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
preset="${1:-default}"
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j"$(nproc)"
cd "build/$preset"
# Tests labelled "large" take over a minute under load; .ci/run runs them on their own.
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j"$(nproc)" -LE large
