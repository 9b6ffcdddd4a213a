#!/usr/bin/env bash
# Builds the benchmarks (Release, in build-bench/ or OPA_BENCH_DIR) and runs
# them in a network and IPC namespace of their own, since they use the fixed
# port and shared-memory keys. They print figures; nothing is asserted.
#
#   scripts/bench.sh              every benchmark
#   scripts/bench.sh records api  only these (the bench's function names)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
./scripts/install-deps.sh

build=${OPA_BENCH_DIR:-$root/build-bench}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DOPA_SANITIZE=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target bench

export QT_QPA_PLATFORM=offscreen
exec unshare -n -i -- bash -c 'ip link set lo up && exec "$@"' bash "$build/bin/bench" "$@"
