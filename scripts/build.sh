#!/usr/bin/env bash
# Installs what is missing, then configures (once) and builds incrementally.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/install-deps.sh"
build="$root/build"
if [ ! -f "$build/build.ninja" ] || ! grep -q 'CMAKE_CXX_COMPILER:.*clang++' "$build/CMakeCache.txt" 2>/dev/null; then
  rm -rf "$build"
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
fi
cmake --build "$build" "$@"
