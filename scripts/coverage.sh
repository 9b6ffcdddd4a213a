#!/usr/bin/env bash
# Builds with --coverage in a folder of its own (build-coverage, or
# OPA_COVERAGE_DIR), runs the whole suite and prints gcovr's line coverage of
# the program's own code: app/, meter/, net/, shm/, lane/, config/, records/,
# station/, api/, report/, platform/ and language/.
# Arguments are passed on to ctest.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

OPA_EXTRA_PACKAGES=gcovr ./scripts/install-deps.sh

build=${OPA_COVERAGE_DIR:-$root/build-coverage}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DOPA_SANITIZE=OFF \
      -DCMAKE_CXX_FLAGS="--coverage -O0" -DCMAKE_EXE_LINKER_FLAGS="--coverage" >/dev/null
cmake --build "$build" -j"$(nproc)"
find "$build" -name '*.gcda' -delete

export QT_QPA_PLATFORM=offscreen
ctest_cmd=(ctest --test-dir "$build" --output-on-failure -j"$(nproc)" "$@")
status=0
if unshare -n -i true 2>/dev/null; then
    unshare -n -i -- bash -c 'ip link set lo up && exec "$@"' bash "${ctest_cmd[@]}" || status=$?
else
    "${ctest_cmd[@]}" || status=$?
fi

# gcovr 6 and later name the parse errors to let pass; 5.x (Debian 12) takes
# the bare flag only.
ignore_parse_errors=--gcov-ignore-parse-errors
if gcovr --help | grep -q 'negative_hits'; then
    ignore_parse_errors=--gcov-ignore-parse-errors=negative_hits.warn_once_per_file
fi
gcovr --root "$root" --object-directory "$build" \
      --filter "$root/app/" --filter "$root/meter/" --filter "$root/net/" \
      --filter "$root/shm/" --filter "$root/lane/" --filter "$root/config/" \
      --filter "$root/records/" --filter "$root/station/" --filter "$root/api/" \
      --filter "$root/report/" --filter "$root/platform/" --filter "$root/language/" \
      --exclude '.*_autogen/.*' --exclude '.*ui_.*' \
      "$ignore_parse_errors" \
      --print-summary --txt "$build/coverage.txt" | tail -n 4
echo "per file: $build/coverage.txt"
exit $status
