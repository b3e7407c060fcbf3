#!/usr/bin/env bash
# Puts a copy of the bundled example project at the folder given (build/example/bakery when run
# by run.sh), as a git working copy of its own, unless one is there already: the edits and
# versions made in it never touch this repository.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
project="${1:?give the folder to put the example in}"
if [ ! -d "$project" ]; then
  mkdir -p "$(dirname "$project")"
  cp -R "$root/examples/bakery" "$project"
  rm -rf "$project/node_modules" "$project/.tarn"
  git -C "$project" init -q -b main
  git -C "$project" add -A
  git -C "$project" -c user.name=Tarn -c user.email=tarn@localhost commit -q -m "The example as it ships"
fi
