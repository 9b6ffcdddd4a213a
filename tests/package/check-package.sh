#!/usr/bin/env bash
# Checks a built Debian package: it unpacks into a scratch root, its menu
# entry's command makes the per-user working folder with the button images,
# and the program it starts runs headless in that folder. Takes the newest
# opacimeter-host_*.deb of the folders given, or the one OPA_CHECK_PACKAGE
# names; skips (77) when there is none and OPA_CHECK_PACKAGE is unset.
set -euo pipefail
deb=${OPA_CHECK_PACKAGE:-$(ls -t $(printf '%s/opacimeter-host_*.deb ' "$@") 2>/dev/null | head -n 1 || true)}
[ -n "$deb" ] || { echo "SKIP: no package built (scripts/package.sh makes one)"; exit 77; }
scratch=$(mktemp -d) && trap 'rm -rf "$scratch"' EXIT && mkdir "$scratch/home"
dpkg -x "$deb" "$scratch/root"
command=$(sed -n 's/^Exec=//p' "$scratch/root/usr/share/applications/opacimeter-host.desktop")
folder=$scratch/home/.local/share/opacimeter-host
# Started from another folder, as the menu does; once it has shown its window
# (its first discovery line) it must be alive and working in its folder.
cd / && unshare -n -i -- bash -c 'ip link set lo up
    env -u XDG_DATA_HOME HOME="$1" QT_QPA_PLATFORM=offscreen "$2" > "$4" 2>&1 & program=$!
    for _ in $(seq 100); do grep -qs "start find" "$4" && break; sleep 0.1; done
    alive=$(kill -0 $program && readlink /proc/$program/cwd); kill $program
    [ "$alive" = "$3" ]' bash "$scratch/home" "$scratch/root/usr/bin/$command" "$folder" "$scratch/log" \
    || { echo "the installed program did not start in $folder:"; cat "$scratch/log"; exit 1; }
for image in ang.png ang@2x.png time.png time@2x.png; do cmp "$folder/$image" "$scratch/root/usr/share/opacimeter-host/$image"; done
# The procedure profiles where the program looks for them from /usr/libexec/opacimeter-host.
for profile in GB3847-2018.ini EU-2014-45.ini; do
    cmp "$(dirname "$0")/../../profiles/$profile" "$scratch/root/usr/share/opacimeter-host/profiles/$profile"
done
echo "$deb: installs; its launcher makes $folder and the program starts there"
