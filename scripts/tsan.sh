#!/usr/bin/env bash
# Builds the core and window tests with ThreadSanitizer in a folder of its own
# (build-tsan, or OPA_TSAN_DIR) and runs the parts that use a second thread:
# the subnet sweep and the reconnect cycle (tst_core's client and reconnect
# classes) and the main window tests, which
# start sweeps from the window. Both run in a network and IPC namespace of
# their own. Qt's libraries are not instrumented: scripts/tsan-qmutex.cpp,
# preloaded, shows ThreadSanitizer our QMutex sections, and scripts/tsan.supp
# names the few Qt internals it still cannot see into. Exit status 0 only
# when both are clean.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
OPA_EXTRA_PACKAGES=pkg-config ./scripts/install-deps.sh

build=${OPA_TSAN_DIR:-$root/build-tsan}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DOPA_SANITIZE=OFF \
      -DCMAKE_CXX_FLAGS="-fsanitize=thread -fno-omit-frame-pointer -O1" \
      -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" >/dev/null
cmake --build "$build" -j"$(nproc)" --target tst_core tst_window shmpeer
read -r -a qtcore <<< "$(pkg-config --cflags --libs Qt5Core)"
g++ -shared -fPIC -O1 -o "$build/libtsan-qmutex.so" scripts/tsan-qmutex.cpp "${qtcore[@]}" -ldl
export OPA_TSAN_SHIM=$build/libtsan-qmutex.so

export QT_QPA_PLATFORM=offscreen
export TSAN_OPTIONS="suppressions=$root/scripts/tsan.supp halt_on_error=0 second_deadlock_stack=1 ${TSAN_OPTIONS:-}"
run() {
    echo "== $*"
    unshare -n -i -- bash -c 'ip link set lo up && exec env LD_PRELOAD="$OPA_TSAN_SHIM" "$@"' bash "$@"
}
status=0
run "$build/bin/tst_core" -class tst_SocketClient || status=1
run "$build/bin/tst_core" -class tst_Reconnect || status=1
run "$build/bin/tst_window" || status=1
[ $status -eq 0 ] && echo "ThreadSanitizer: no data race reported" || echo "ThreadSanitizer: see the reports above"
exit $status
