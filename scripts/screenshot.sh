#!/usr/bin/env bash
# Makes docs/screenshot.png: the program under Xvfb, fed by the meter
# simulator, both inside a network namespace of their own so that nothing
# can leave the machine. Needs root (for the namespace), ImageMagick and,
# for keys, xdotool.
#
#   scripts/screenshot.sh [OUT.png]
#   OPA_SCREENSHOT_SIM="--scenario smoke --period 6000"   simulator arguments
#   OPA_SCREENSHOT_KEYS="ctrl+Tab ctrl+Tab ctrl+r"         keys pressed once values show
#                                                          (sleep:N waits N seconds between keys)
#   OPA_SCREENSHOT_WAIT=13                                 seconds from start to picture
# (scripts/screenshot.sh docs/trend.png with the three lines above makes the
# trend page's picture.)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/docs/screenshot.png}")
sim_args=${OPA_SCREENSHOT_SIM:---scenario steady --n 23.45 --ns 31.2 --k 0.88 --chamber 38 --smoke 61 --energy 2630}
keys=${OPA_SCREENSHOT_KEYS:-}
wait_s=${OPA_SCREENSHOT_WAIT:-4}

OPA_EXTRA_PACKAGES="imagemagick xdotool ${OPA_EXTRA_PACKAGES:-}" "$root/scripts/install-deps.sh"
build=${OPA_BUILD_DIR:-$root/build}
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target opacimeter-host opacimeter-sim >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$root/app/images/ang.png" "$root/app/images/time.png" "$work/"
printf '[Server]\nIP=127.0.0.1\n' > "$work/set.ini"

unshare -n -i -- bash -s "$build" "$work" "$out" "$sim_args" "$keys" "$wait_s" <<'INNER'
set -euo pipefail
build=$1 work=$2 out=$3 sim_args=$4 keys=$5 wait_s=$6
ip link set lo up
Xvfb :93 -screen 0 800x600x24 >/dev/null 2>&1 & xvfb=$!
# shellcheck disable=SC2086 # the arguments are meant to split
"$build/bin/opacimeter-sim" $sim_args --quiet >/dev/null 2>&1 & sim=$!
trap 'kill $sim $xvfb 2>/dev/null || true' EXIT
sleep 1
cd "$work"
DISPLAY=:93 "$build/bin/opacimeter-host" >/dev/null 2>&1 & host=$!
sleep 3   # the window fades in over one second, then values arrive ten times a second
if [ -n "$keys" ]; then
    window=$(DISPLAY=:93 xdotool search --sync --pid $host | tail -1)
    DISPLAY=:93 xdotool windowfocus --sync "$window"
    for key in $keys; do
        case $key in
            sleep:*) sleep "${key#sleep:}" ;;
            *) DISPLAY=:93 xdotool key --window "$window" --delay 200 "$key" ;;
        esac
    done
fi
sleep $((wait_s > 3 ? wait_s - 3 : 1))
DISPLAY=:93 import -window root -crop 603x465+0+0 +repage "$out"
kill $host
INNER
echo "wrote $out"
