#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program.
#
#   ./run.sh            demo: a simulated meter on 127.0.0.1 (scenario "smoke")
#                       and the program in run/demo, whose set.ini names it;
#                       the logs go to files there
#   ./run.sh --serial   the same demo with the meter on a serial line: the
#                       simulator answers on a pseudo-terminal, linked at
#                       run/demo/ttyMeter, and set.ini has Link=serial
#   ./run.sh --meter    the program alone, in the current folder, for a real
#                       meter; its log stays on the terminal
set -euo pipefail

root=$(cd "$(dirname "$0")" && pwd)
mode=demo
case "${1:-}" in
    "") ;;
    --meter) mode=meter ;;
    --serial) mode=serial ;;
    -h|--help) sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "run.sh: unknown option '$1' (try --help)" >&2; exit 2 ;;
esac

"$root/scripts/install-deps.sh"

build=${OPA_BUILD_DIR:-$root/build}
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
workdir=${OPA_WORKDIR:-$root/run/demo}
build_program() {
    cmake --build "$build" -j"$(nproc)" --target opacimeter-host opacimeter-sim opacimeter-shm
}
if [ "$mode" = meter ]; then
    build_program
else
    # The demo keeps the terminal for the few lines a newcomer needs.
    mkdir -p "$workdir"
    echo "Building the program (log: $workdir/build.log)"
    build_program > "$workdir/build.log" 2>&1 || { cat "$workdir/build.log" >&2; exit 1; }
fi

# ./test.sh builds the same folder with the sanitizers; their leak report at
# exit is about the libraries the program uses, not news for an operator.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}

# The program shows its window on the desktop; without one it runs under Xvfb.
launcher=()
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display found: the program runs under Xvfb."
    launcher=(xvfb-run -a -s "-screen 0 1024x768x24")
fi

copy_images() {
    for image in ang.png ang@2x.png time.png time@2x.png; do
        [ -f "$1/$image" ] || cp "$root/app/images/$image" "$1/"
    done
}

if [ "$mode" = meter ]; then
    copy_images "$PWD"
    exec "${launcher[@]}" "$build/bin/opacimeter-host"
fi

copy_images "$workdir"
# The API on its usual port; the program makes the token at its first start,
# and the demo keeps it from then on, so a client set up once goes on working.
token=$(sed -n 's/^Token=//p' "$workdir/set.ini" 2>/dev/null | head -n 1 || true)
printf '[Server]\nIP=127.0.0.1\n\n[Api]\nEnabled=true\nListen=127.0.0.1:8900\nToken=%s\n' "$token" > "$workdir/set.ini"
serving=(--listen 127.0.0.1)
ready='^listening on'
if [ "$mode" = serial ]; then
    serving=(--serial "$workdir/ttyMeter")
    ready='^serial line on'
    printf '\n[Meter]\nLink=serial\nPort=%s\n' "$workdir/ttyMeter" >> "$workdir/set.ini"
fi

simlog="$workdir/simulator.log"
"$build/bin/opacimeter-sim" "${serving[@]}" --scenario smoke --quiet > "$simlog" 2>&1 &
sim=$!
trap 'kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null || true' EXIT

for _ in $(seq 1 100); do
    grep -q "$ready" "$simlog" 2>/dev/null && break
    if ! kill -0 "$sim" 2>/dev/null; then
        echo "The meter simulator did not start:" >&2
        cat "$simlog" >&2
        exit 1
    fi
    sleep 0.05
done
proglog="$workdir/program.log"
echo "Meter simulator: $(head -n 1 "$simlog") (log: $simlog)"
echo "Program log: $proglog (follow it with: tail -f $proglog)"
echo "Companion tool: $build/bin/opacimeter-shm read   (or: opacimeter-shm log --count 10)"
echo "WebSocket API: ws://127.0.0.1:8900/ (token: [Api] Token in $workdir/set.ini once the program runs)"
echo "  example client: $root/docs/api-client.py 京A12345 --settings $workdir/set.ini"
echo "To stop: close the program's window, or press Ctrl+C here; the simulator stops with it."

cd "$workdir"
"${launcher[@]}" "$build/bin/opacimeter-host" > "$proglog" 2>&1
