#!/bin/sh
# Installs the Debian packages tarvexgl needs to build, run and test, if any
# are missing: apt-get as root, through sudo otherwise, or else prints the one
# command to run and fails.
set -e

packages="g++ cmake make pkgconf freeglut3-dev libglu1-mesa-dev libgl1-mesa-dev libgl1-mesa-dri
  libx11-dev libassimp-dev xvfb xauth x11-utils libgtest-dev libbenchmark-dev $EXTRA_PACKAGES"

missing=""
for p in $packages; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

echo "Installing missing packages:$missing"
if [ "$(id -u)" = 0 ]; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
    sudo apt-get update -qq
    sudo DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
else
    echo "Please install them first:" >&2
    echo "  sudo apt-get install$missing" >&2
    exit 1
fi
