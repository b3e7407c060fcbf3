#!/usr/bin/env bash
# Takes the window's screenshots again (build/screenshots/) and refreshes the README's picture.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/build.sh" --target tarn_screenshots
# One process a style: the application registers on the session bus once per process.
for style in light dark; do
  xvfb-run -a -s "-screen 0 1600x1000x24" dbus-run-session -- "$root/build/tests/tarn_screenshots" --gtest_filter="*/$style"
done
mkdir -p "$root/docs"
cp "$root/build/screenshots/project-running-light.png" "$root/docs/screenshot.png"
echo "screenshots in build/screenshots/; README picture refreshed"
