#!/usr/bin/env bash
# Runs a test inside a network and IPC namespace of its own, with loopback up,
# so that whatever it starts can reach no address but loopback and the fixed
# port and shared-memory keys are its alone. Where no namespace can be made,
# the test is skipped (exit 77) with a message saying why.
if ! unshare -n -i true 2>/dev/null; then
    echo "SKIP: cannot make a network namespace here (needs root or user namespaces)"
    exit 77
fi
# QSharedMemory finds a segment through a key file in the temporary folder,
# which the namespace does not separate: a test elsewhere that removes and
# makes that file anew would change the key under this one's feet.
tmp=$(mktemp -d)
# A test's PostgreSQL runs as 'postgres' where the tests run as root, and
# must pass through to its own folder inside.
chmod 711 "$tmp"
TMPDIR=$tmp unshare -n -i -- bash -c 'ip link set lo up && exec "$@"' bash "$@"
status=$?
rm -rf "$tmp"
exit $status
