#!/usr/bin/env bash
# Makes docs/screenshot.png: the program under Xvfb, fed by the meter
# simulator, both inside a network namespace of their own so that nothing
# can leave the machine. Needs root (for the namespace) and ImageMagick.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/docs/screenshot.png}

"$root/scripts/install-deps.sh"
command -v import >/dev/null || OPA_EXTRA_PACKAGES=imagemagick "$root/scripts/install-deps.sh"
build=${OPA_BUILD_DIR:-$root/build}
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target opacimeter-host opacimeter-sim >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$root/app/images/ang.png" "$root/app/images/time.png" "$work/"
printf '[Server]\nIP=127.0.0.1\n' > "$work/set.ini"

unshare -n -- bash -s "$build" "$work" "$out" <<'INNER'
set -euo pipefail
build=$1 work=$2 out=$3
ip link set lo up
Xvfb :93 -screen 0 800x600x24 >/dev/null 2>&1 & xvfb=$!
"$build/bin/opacimeter-sim" --scenario steady --n 23.45 --ns 31.2 --k 0.88 \
    --chamber 38 --smoke 61 --energy 2630 --quiet >/dev/null 2>&1 & sim=$!
trap 'kill $sim $xvfb 2>/dev/null || true' EXIT
sleep 1
cd "$work"
DISPLAY=:93 "$build/bin/opacimeter-host" >/dev/null 2>&1 & host=$!
sleep 4   # the window fades in over one second, then values arrive ten times a second
DISPLAY=:93 import -window root -crop 603x465+0+0 +repage "$out"
kill $host
INNER
echo "wrote $out"
