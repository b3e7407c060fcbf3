#!/usr/bin/env bash
# Takes the window's screenshots again (build/screenshots/) and refreshes the README's picture.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/build.sh" --target tarn_gui_tests
xvfb-run -a -s "-screen 0 1600x1000x24" "$root/build/tests/tarn_gui_tests" --gtest_filter="Styles/Screenshots.*"
mkdir -p "$root/docs"
cp "$root/build/screenshots/project-running-light.png" "$root/docs/screenshot.png"
echo "screenshots in build/screenshots/; README picture refreshed"
