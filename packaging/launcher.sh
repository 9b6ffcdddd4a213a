#!/bin/sh
# Starts the program in the user's own working folder, where it keeps set.ini
# and where records and results are written, whatever folder it is started
# from (the menu starts it from anywhere). The button images are copied there
# on first start, since the program looks for them in its working folder.
set -e
here=$(dirname "$(readlink -f "$0")")
shared="$here/../share/opacimeter-host"
folder="${XDG_DATA_HOME:-$HOME/.local/share}/opacimeter-host"
mkdir -p "$folder"
for image in ang.png ang@2x.png time.png time@2x.png; do
    [ -e "$folder/$image" ] || cp "$shared/$image" "$folder/"
done
cd "$folder"
exec "$here/../libexec/opacimeter-host/opacimeter-host" "$@"
