#!/usr/bin/env bash
# Fuzzes every target of fuzz/ with libFuzzer, SECONDS each (60), one
# target per core at a time, and prints the executions per target. Builds
# with clang and -fsanitize=fuzzer,address,undefined in a folder of its own
# (build-fuzz, or OPA_FUZZ_DIR), installing clang and libFuzzer first where
# they are missing.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]     e.g. scripts/fuzz.sh 15 framecutter
#
# Each target starts from its seed corpus in fuzz/corpus/<target>/;
# inputs it finds along the way stay in the build folder, and an input that
# crashes it is saved into the seed corpus as crash-<hash>, so that ./test.sh
# replays it from then on. Qt's own libraries are not instrumented.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:-60}
shift || true

OPA_EXTRA_PACKAGES=clang ./scripts/install-deps.sh
version=$(clang++ --version | sed -n 's/.*clang version \([0-9]*\).*/\1/p' | head -n 1)
# The fuzzer runtime ships apart from the compiler.
OPA_EXTRA_PACKAGES="clang libclang-rt-$version-dev libfuzzer-$version-dev" ./scripts/install-deps.sh

build=${OPA_FUZZ_DIR:-$root/build-fuzz}
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
      -DOPA_SANITIZE=OFF -DOPA_FUZZ_ENGINE=ON -DCMAKE_CXX_FLAGS="$flags" \
      -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for source in fuzz/fuzz_*.cpp; do
        name=${source##*/fuzz_}
        targets+=("${name%.cpp}")
    done
fi
cmake --build "$build" -j"$(nproc)" --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# One target per core at a time; each writes its own log.
fuzz_one() {
    local t=$1 seeds=fuzz/corpus/$1 found=$build/fuzz-corpus/$1
    mkdir -p "$found"
    set +e
    "$build/bin/fuzz_$t" -max_total_time="$seconds" -max_len=1024 -print_final_stats=1 \
        -artifact_prefix="$seeds/" "$found" "$seeds" > "$build/fuzz_$t.log" 2>&1
    echo $? > "$build/fuzz_$t.rc"
}
for t in "${targets[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge "$(nproc)" ]; do wait -n || true; done
    echo "== fuzz_$t for $seconds s (log: $build/fuzz_$t.log)"
    fuzz_one "$t" &
done
wait || true

status=0
for t in "${targets[@]}"; do
    log=$build/fuzz_$t.log
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    result=ok
    if [ "$(cat "$build/fuzz_$t.rc")" != 0 ]; then
        result=CRASH
        status=1
        tail -n 30 "$log"
    fi
    printf '%-12s %12s executions in %s s: %s\n' "$t" "${runs:-?}" "$seconds" "$result"
done
exit $status
