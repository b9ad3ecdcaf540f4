#!/bin/sh
# Installs the Debian packages tarvexgl needs to build, run and test, if any
# are missing: apt-get as root, or through sudo when it needs no password.
# Otherwise prints the missing packages, all of them in one list, and the
# one command to run as root, and fails. The default list covers both
# `make run` and `make test`, so that nobody is asked twice; EXTRA_PACKAGES
# adds names, PACKAGES replaces the list.
set -e

# zlib1g-dev: libassimp-dev's CMake files name zlib's development library,
# but the package does not depend on it. file: CPack picks the binaries to
# hand to dpkg-shlibdeps with it, and no package here brings it in. lintian
# and bubblewrap: the package tests check the package with lintian and run
# its thumbnailer in the sandbox GNOME runs thumbnailers in.
packages="${PACKAGES-g++ cmake make pkgconf dpkg-dev file freeglut3-dev libglu1-mesa-dev libgl1-mesa-dev libgl1-mesa-dri
  libx11-dev libassimp-dev zlib1g-dev xvfb xauth x11-utils libgtest-dev libbenchmark-dev valgrind
  libegl-dev libegl1-mesa-dev libpng-dev libgif-dev shared-mime-info libglib2.0-bin desktop-file-utils lintian
  bubblewrap} $EXTRA_PACKAGES"

missing=""
for p in $packages; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" = 0 ]; then
    echo "Installing missing packages:$missing"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
    echo "Installing missing packages:$missing"
    sudo apt-get update -qq
    sudo DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
else
    if command -v sudo >/dev/null 2>&1; then
        command="sudo apt-get install --no-install-recommends$missing"
    else
        command="su -c 'apt-get install --no-install-recommends$missing'"
    fi
    echo "These Debian packages are missing:$missing" >&2
    echo "Install them as root, then run make again:" >&2
    echo "  $command" >&2
    exit 1
fi
