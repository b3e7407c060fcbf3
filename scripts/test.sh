#!/usr/bin/env bash
# Builds everything and runs the whole test suite under one virtual X server.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/build.sh"
cd "$root/build"
exec xvfb-run -a -s "-screen 0 1600x1000x24" ctest --output-on-failure -j "$(nproc)" "$@"
