#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12, only when missing: the
# demo's end-to-end test also sets the desktop's colour (xsetroot), renders the
# demo's page (chromium) and looks at the rendering (imagemagick).
set -eu
need=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
for pkg in cmake make ninja-build g++-mingw-w64-x86-64-posix clang wine64 xvfb x11-utils googletest osslsigncode openssl \
           xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils chromium imagemagick; do
    have_pkg "$pkg" || need+=("$pkg")
done
if [ ${#need[@]} -gt 0 ]; then
    echo "install-deps: installing ${need[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${need[@]}"
fi
