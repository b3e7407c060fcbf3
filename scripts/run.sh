#!/usr/bin/env bash
# Builds Tarn and starts it, on the bundled example project when there is one.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/build.sh" --target tarn
project=""
if [ -d "$root/examples/hello-next" ]; then project="$root/examples/hello-next"; fi
exec "$root/build/src/app/tarn" ${project:+"$project"}
