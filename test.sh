#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer (leak detection on)
# and UndefinedBehaviorSanitizer, and runs every test headless.
# Exit status 0 only when every test passes.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh

build=${OPA_BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DOPA_SANITIZE=${OPA_SANITIZE:-ON} >/dev/null
cmake --build "$build" -j"$(nproc)"

export QT_QPA_PLATFORM=offscreen
# Leaks are looked for at every exit, the tests' and that of every program
# they start; scripts/lsan.supp names the start-up allocations that Qt,
# fontconfig and the database and graphics drivers keep until the process
# ends. A leak of ours fails the test.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:fast_unwind_on_malloc=0:malloc_context_size=20:abort_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/scripts/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

ctest_cmd=(ctest --test-dir "$build" --output-on-failure -j"$(nproc)" "$@")

# The tests run in a network namespace of their own when the machine lets us
# make one: nothing they start can then reach any address but loopback, and
# the fixed port and shared-memory keys cannot clash with a running program.
if unshare -n -i true 2>/dev/null; then
    exec unshare -n -i -- bash -c 'ip link set lo up && exec "$@"' bash "${ctest_cmd[@]}"
fi
echo "note: cannot make a network namespace here; running the tests on the host's loopback"
exec "${ctest_cmd[@]}"
