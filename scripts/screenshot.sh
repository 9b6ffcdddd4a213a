#!/usr/bin/env bash
# Makes docs/screenshot.png: the program under Xvfb, fed by the meter
# simulator, both inside a network namespace of their own so that nothing
# can leave the machine. Needs root (for the namespace), ImageMagick and,
# for keys, xdotool.
#
#   scripts/screenshot.sh [OUT.png]
#   OPA_SCREENSHOT_SIM="--scenario smoke --period 6000"   simulator arguments
#   OPA_SCREENSHOT_KEYS="ctrl+Tab ctrl+Tab ctrl+r"         keys pressed once values show
#                                                          (sleep:N waits N seconds between keys,
#                                                          click:X,Y clicks at X,Y of the window)
#   OPA_SCREENSHOT_WAIT=13                                 seconds from start to picture
#   OPA_SCREENSHOT_INI=$'[Database]\nServerHost=/nowhere'   more lines for set.ini
#   OPA_SCREENSHOT_LANGUAGE=en                             [UI] Language in set.ini (zh)
#   OPA_SCREENSHOT_DISPLAY=93                              the X display Xvfb takes
#   OPA_SCREENSHOT_CROP=800x600+0+0                        the part of the screen kept
#                                                          (default: the window)
#   QT_SCALE_FACTOR=1.5                                    a screen scaled to 150 %: the
#                                                          window and its picture grow
# (scripts/screenshot.sh docs/trend.png with the three lines above makes the
# trend page's picture.)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/docs/screenshot.png}")
sim_args=${OPA_SCREENSHOT_SIM:---scenario steady --n 23.45 --ns 31.2 --k 0.88 --chamber 38 --smoke 61 --energy 2630}
keys=${OPA_SCREENSHOT_KEYS:-}
wait_s=${OPA_SCREENSHOT_WAIT:-4}
scale=${QT_SCALE_FACTOR:-1}
crop=${OPA_SCREENSHOT_CROP:-$(awk -v f="$scale" 'BEGIN { printf "%dx%d+0+0", 603 * f + 0.5, 465 * f + 0.5 }')}
screen=$(awk -v f="$scale" 'BEGIN { printf "%dx%dx24", (f > 1.3 ? 1600 : 800), (f > 1.3 ? 1200 : 600) }')

OPA_EXTRA_PACKAGES="imagemagick xdotool ${OPA_EXTRA_PACKAGES:-}" "$root/scripts/install-deps.sh"
build=${OPA_BUILD_DIR:-$root/build}
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target opacimeter-host opacimeter-sim >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$root/app/images/ang.png" "$root/app/images/ang@2x.png" "$root/app/images/time.png" \
    "$root/app/images/time@2x.png" "$work/"
printf '[Server]\nIP=127.0.0.1\n[UI]\nLanguage=%s\n%s\n' "${OPA_SCREENSHOT_LANGUAGE:-zh}" "${OPA_SCREENSHOT_INI:-}" > "$work/set.ini"

unshare -n -i -- bash -s "$build" "$work" "$out" "$sim_args" "$keys" "$wait_s" \
    "${OPA_SCREENSHOT_DISPLAY:-93}" "$crop" "$screen" <<'INNER'
set -euo pipefail
build=$1 work=$2 out=$3 sim_args=$4 keys=$5 wait_s=$6 display=:$7 crop=$8 screen=$9
ip link set lo up
# 96 dpi, as desktops at 100 % have it (Xvfb's own 100 would scale the window by 1.04).
Xvfb $display -screen 0 "$screen" -dpi 96 >/dev/null 2>&1 & xvfb=$!
# shellcheck disable=SC2086 # the arguments are meant to split
"$build/bin/opacimeter-sim" $sim_args --quiet >/dev/null 2>&1 & sim=$!
trap 'kill $sim $xvfb 2>/dev/null || true' EXIT
sleep 1
cd "$work"
DISPLAY=$display "$build/bin/opacimeter-host" >"$work/host.log" 2>&1 & host=$!
sleep 3   # the window fades in over one second, then values arrive ten times a second
if [ -n "$keys" ]; then
    window=$(DISPLAY=$display xdotool search --sync --pid $host | tail -1)
    DISPLAY=$display xdotool windowfocus --sync "$window"
    for key in $keys; do
        case $key in
            sleep:*) sleep "${key#sleep:}" ;;
            click:*) xy=${key#click:}
                DISPLAY=$display xdotool mousemove --window "$window" "${xy%,*}" "${xy#*,}" click 1 ;;
            *) DISPLAY=$display xdotool key --window "$window" --delay 200 "$key" ;;
        esac
    done
fi
sleep $((wait_s > 3 ? wait_s - 3 : 1))
DISPLAY=$display import -window root -crop "$crop" +repage "$out"
kill $host
INNER
echo "wrote $out"
