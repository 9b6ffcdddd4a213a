#!/usr/bin/env bash
# Checks a built Debian package: it unpacks into a scratch root, the menu
# entry's command makes the per-user working folder with the button images,
# and the program it starts runs headless in that folder. Takes the newest
# opacimeter-host_*.deb of the folders given; OPA_CHECK_PACKAGE names a package
# instead, or (any other value) turns a missing package from a skip into a failure.
set -euo pipefail
deb=${OPA_CHECK_PACKAGE:-}
[ -f "$deb" ] || deb=$(ls -t $(printf '%s/opacimeter-host_*.deb ' "$@") 2>/dev/null | head -n 1 || true)
if [ -z "$deb" ]; then
    echo "no package built (scripts/package.sh makes one)"
    [ -n "${OPA_CHECK_PACKAGE:-}" ] && exit 1 || exit 77
fi
scratch=$(mktemp -d) && trap 'rm -rf "$scratch"' EXIT && mkdir "$scratch/home"
dpkg -x "$deb" "$scratch/root"
command=$(sed -n 's/^Exec=//p' "$scratch/root/usr/share/applications/opacimeter-host.desktop")
folder=$scratch/home/.local/share/opacimeter-host
# From another folder, as the menu starts it; alive and in its folder once it has shown its window.
cd / && unshare -n -i -- bash -c 'ip link set lo up
    env -u XDG_DATA_HOME HOME="$1" QT_QPA_PLATFORM=offscreen "$2" > "$4" 2>&1 & program=$!
    for _ in $(seq 100); do grep -qs "start find" "$4" && break; sleep 0.1; done
    alive=$(kill -0 $program && readlink /proc/$program/cwd); kill $program
    [ "$alive" = "$3" ]' bash "$scratch/home" "$scratch/root/usr/bin/$command" "$folder" "$scratch/log" \
    || { echo "the installed program did not start in $folder:"; cat "$scratch/log"; exit 1; }
cmp "$folder/ang.png" "$scratch/root/usr/share/opacimeter-host/ang.png"
cmp "$folder/time.png" "$scratch/root/usr/share/opacimeter-host/time.png"
echo "$deb: installs, its launcher makes $folder, the program starts there"
