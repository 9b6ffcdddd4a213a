#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program in a working
# folder that holds the button images.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh

root=$PWD
build=${OPA_BUILD_DIR:-$root/build}
[ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target opacimeter-host

workdir=${OPA_WORKDIR:-$PWD/run}
mkdir -p "$workdir"
cp -f app/images/ang.png app/images/time.png "$workdir/"
cd "$workdir"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" = "" ]; then
    echo "No display found: starting the program under Xvfb."
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$build/bin/opacimeter-host"
fi
exec "$build/bin/opacimeter-host"
