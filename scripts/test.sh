#!/usr/bin/env bash
# Builds everything and runs the whole test suite under one virtual X server, with a D-Bus session
# bus and a runtime folder of the run's own: the accessibility bus a WebKit test starts then lives
# as long as the run, whatever order the tests take, and nothing is left behind.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/build.sh"
cd "$root/build"
runtime=$(mktemp -d "${TMPDIR:-/tmp}/tarn-test-run.XXXXXX")
chmod 700 "$runtime"
trap 'rm -rf "$runtime"' EXIT
export XDG_RUNTIME_DIR="$runtime"
unset DBUS_SESSION_BUS_ADDRESS
xvfb-run -a -s "-screen 0 1600x1000x24" dbus-run-session -- ctest --output-on-failure -j "$(nproc)" "$@"
