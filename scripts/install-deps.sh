#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, but
# only those that are missing. Needs root (or sudo) when something is missing.
set -euo pipefail

packages=(
    cmake g++ make
    qtbase5-dev qtbase5-dev-tools libqt5network5 libqt5concurrent5 libqt5test5
    libqt5charts5-dev libqt5websockets5-dev libqt5serialport5-dev qttranslations5-l10n
    libqt5sql5-sqlite libqt5sql5-psql
    qttools5-dev qttools5-dev-tools
    postgresql poppler-utils python3-websockets
    xvfb xauth fonts-noto-cjk
    iproute2 util-linux socat
)
# Scripts that need more (coverage, fuzzing, packaging) name it here.
read -r -a extra <<< "${OPA_EXTRA_PACKAGES:-}"
packages+=("${extra[@]}")

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
