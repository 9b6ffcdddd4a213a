#!/usr/bin/env bash
# Builds the Debian package opacimeter-host_VERSION_ARCH.deb from scratch in a
# build folder of its own (build-package, or OPA_PACKAGE_DIR): Release, no
# sanitizers, no tests, Debian's hardening flags. Then checks it with lintian
# (fails on errors) and desktop-file-validate (fails on any complaint).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

OPA_EXTRA_PACKAGES="dpkg-dev fakeroot file lintian desktop-file-utils" "$root/scripts/install-deps.sh"

build=${OPA_PACKAGE_DIR:-$root/build-package}
rm -rf "$build"
eval "$(dpkg-buildflags --export=sh)"
export CXXFLAGS="$CPPFLAGS $CXXFLAGS"   # CMake does not read CPPFLAGS
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DOPA_SANITIZE=OFF -DOPA_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target package
deb=$(ls "$build"/opacimeter-host_*.deb)

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg -x "$deb" "$unpacked"
echo "== desktop-file-validate"
complaints=$(desktop-file-validate "$unpacked/usr/share/applications/opacimeter-host.desktop" 2>&1 || true)
echo "${complaints:-clean}"
echo "== lintian"
lintian --info "$deb"
echo "== $deb"
[ -z "$complaints" ]
