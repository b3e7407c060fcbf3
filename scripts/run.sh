#!/usr/bin/env bash
# Builds Tarn and starts it on the bundled example project (or on the folder given).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/build.sh" --target tarn
project=${1:-}
if [ -z "$project" ] && [ -d "$root/examples/hello-next" ]; then project="$root/examples/hello-next"; fi
exec "$root/build/src/app/tarn" ${project:+"$project"}
