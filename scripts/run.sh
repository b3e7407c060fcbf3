#!/usr/bin/env bash
# Builds Tarn and starts it on the bundled example project, or on the folder given.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/build.sh" --target tarn
project="${1:-}"
if [ -z "$project" ]; then
  project="$root/build/example/bakery"
  bash "$root/scripts/example.sh" "$project"
fi
exec "$root/build/src/app/tarn" "$project"
