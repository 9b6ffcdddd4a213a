#!/usr/bin/env bash
# Runs the program against the simulator for MINUTES minutes, with faults
# mixed in (replies one byte at a time, stray bytes, and outages where the
# simulator has them), in a network and IPC namespace of its own, then
# reports: whether the program is still alive, its resident memory at the
# start and the end, polls per second of connected time, and replies sent
# by the simulator against frames the program cut from the stream.
#
#   scripts/soak.sh MINUTES        (logs stay in the folder it names)
#
# Builds without sanitizers in a folder of its own (build-soak, or
# OPA_SOAK_DIR) so that memory figures are the program's own.
# OPA_SOAK_OUTAGE sets the simulator's --outage AFTER_MS:FOR_MS (50000:3000).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
minutes=${1:?usage: scripts/soak.sh MINUTES}
build=${OPA_SOAK_DIR:-$root/build-soak}

if [ -z "${OPA_SOAK_INSIDE:-}" ]; then
    cd "$root"
    ./scripts/install-deps.sh
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOPA_SANITIZE=OFF \
          -DOPA_BUILD_TESTS=OFF >/dev/null
    cmake --build "$build" -j"$(nproc)" --target opacimeter-host opacimeter-sim
    # The program sweeps its subnet when it cannot reach the simulator, so it
    # only ever runs where loopback is the whole network.
    exec unshare -n -i -- env OPA_SOAK_INSIDE=1 OPA_SOAK_DIR="$build" bash "$0" "$@"
fi

ip link set lo up
work=$(mktemp -d /tmp/opa-soak.XXXXXX)
cd "$work"
printf '[Server]\nIP=127.0.0.1\n' > set.ini
now() { date +%H:%M:%S.%3N; }
rss() { awk '/^VmRSS/ { print $2 }' "/proc/$1/status" 2>/dev/null || echo 0; }

sim_args=(--split 1 --garbage)
if "$build/bin/opacimeter-sim" --help | grep -q -- --outage; then
    sim_args+=(--outage "${OPA_SOAK_OUTAGE:-50000:3000}")
fi
"$build/bin/opacimeter-sim" "${sim_args[@]}" > sim.log 2>&1 &
sim=$!
for _ in $(seq 50); do grep -q '^listening on' sim.log && break; sleep 0.1; done
QT_QPA_PLATFORM=offscreen "$build/bin/opacimeter-host" > host.out 2> host.log &
host=$!
trap 'kill -CONT $sim $host 2>/dev/null; kill $host $sim 2>/dev/null || true' EXIT

for _ in $(seq 200); do grep -q 'client .* connected' sim.log && break; sleep 0.1; done
sleep 10  # start-up allocations are not growth
rss_start=$(rss $host)
end=$((SECONDS + minutes * 60 - 10))
while [ $SECONDS -lt $end ] && kill -0 $host 2>/dev/null; do
    echo "$(now) $(rss $host)" >> rss.log
    sleep 10
done
alive=no
kill -0 $host 2>/dev/null && alive=yes
rss_end=$(rss $host)

# Settle the count: the program stops polling, the simulator answers what it
# was asked and is stopped, the program reads those answers, and only then
# are both logs counted.
stopped_at=$(now)
if [ $alive = yes ]; then
    kill -STOP $host; stopped_at=$(now); sleep 1
    kill -STOP $sim; kill -CONT $host; sleep 1
fi
kill $host 2>/dev/null || true
# Killed while stopped, the simulator cannot answer the polls of that last second.
kill -KILL $sim 2>/dev/null || true; wait $host $sim 2>/dev/null || true
trap - EXIT

# Simulator lines start with the local time; a run may pass midnight.
read -r connected_ms polls drops < <(awk -v stop="$stopped_at" '
    function t(s,  a) { split(s, a, /[:.]/); return ((a[1] * 60 + a[2]) * 60 + a[3]) * 1000 + a[4] }
    BEGIN { stop = t(stop) }
    !/^[0-9][0-9]:/ { next }
    { now = t($1) + day; if (now < last) { day += 86400000; now += 86400000 }; last = now
      if (!first) { first = now; if (stop < first) stop += 86400000 } }
    / client .* connected/ { up = now }
    / client disconnected/ && up && now <= stop { total += now - up; up = 0; ++drops }
    / recv 213300AC$/ && now <= stop { ++polls }
    END { if (up) total += stop - up; print total + 0, polls + 0, drops + 0 }' sim.log)
sent=$(grep -c ' sent [0-9A-F]' sim.log || true)
cut=$(grep -cE '^"[0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3}" "[0-9A-F]+"$' host.log || true)

echo "soak of $minutes min, simulator options: ${sim_args[*]} (logs in $work)"
echo "program alive at the end:  $alive"
echo "resident memory:           start $rss_start kB, end $rss_end kB, growth $((rss_end - rss_start)) kB"
awk -v p="$polls" -v ms="$connected_ms" 'BEGIN { printf "polls per connected second: %.3f (%d polls in %.1f s connected)\n", ms ? p * 1000 / ms : 0, p, ms / 1000 }'
echo "replies sent:              $sent; frames cut by the program: $cut; lost: $((sent - cut)) (connection drops: $drops)"
[ "$alive" = yes ]
