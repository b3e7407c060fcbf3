#!/usr/bin/env bash
# Builds Tarn and starts it on the bundled example project, or on the folder given.
# The example is copied to build/example/ (a git working copy of its own) the first time, so the
# edits and versions you make there never touch this repository.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/build.sh" --target tarn
project="${1:-}"
if [ -z "$project" ]; then
  project="$root/build/example/bakery"
  if [ ! -d "$project" ]; then
    mkdir -p "$root/build/example"
    cp -R "$root/examples/bakery" "$project"
    rm -rf "$project/node_modules"
    git -C "$project" init -q -b main
    git -C "$project" add -A
    git -C "$project" -c user.name=Tarn -c user.email=tarn@localhost commit -q -m "The example as it ships"
  fi
fi
exec "$root/build/src/app/tarn" "$project"
