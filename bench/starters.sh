#!/usr/bin/env bash
# Makes the official starter projects the evaluations run on, once, into the folder given
# (build/starters by default): Vite's templates and both Next.js routers, each a git working copy
# with its dependencies installed. Needs the npm registry; says so and stops without it.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
into="${1:-$root/build/starters}"
mkdir -p "$into"
cd "$into" || exit 1
if ! timeout 30 npm ping >/dev/null 2>&1; then
  echo "starters: the npm registry cannot be reached" >&2
  exit 1
fi
commit() { git -C "$1" init -q -b main && git -C "$1" add -A && git -C "$1" -c user.name=T -c user.email=t@t commit -qm starter; }
for template in react react-ts vue svelte preact solid lit vanilla; do
  folder="vite-$template"
  [ -d "$folder/node_modules" ] && continue
  rm -rf "$folder"
  npx --yes create-vite@latest "$folder" --template "$template" --no-interactive >"$folder.log" 2>&1 &&
    (cd "$folder" && npm install >>"../$folder.log" 2>&1) && commit "$folder" || echo "starters: $folder failed (see $into/$folder.log)" >&2
done
for router in app pages; do
  folder="next-$router"
  [ -d "$folder/node_modules" ] && continue
  rm -rf "$folder"
  npx --yes create-next-app@latest "$folder" --yes --use-npm "--$([ $router = app ] && echo app || echo no-app)" --disable-git >"$folder.log" 2>&1 &&
    commit "$folder" || echo "starters: $folder failed (see $into/$folder.log)" >&2
done
# A small shop as real applications are written: texts from a message file through t('key'), from
# data arrays and constants, from a parent's props, with units and counts around values.
folder=realistic-shop
if [ ! -d "$folder/node_modules" ] && [ -d vite-react/node_modules ]; then
  rm -rf "$folder"
  cp -r vite-react "$folder" && rm -rf "$folder/.git" "$folder/src" && cp -r "$root/bench/realistic-shop/src" "$folder/src" &&
    commit "$folder" || echo "starters: $folder failed" >&2
fi
echo "$into"
