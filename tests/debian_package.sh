# What the package tests share, sourced by them: the Debian package built
# from a finished build tree, and commands run as a user who is not root.

# build_package BUILD_DIR FOLDER: the package `make package` makes, built
# from BUILD_DIR's configuration into FOLDER; its path in $deb. cpack's
# output is shown only when it fails.
build_package() {
    if ! cpack --config "$1/CPackConfig.cmake" -G DEB -B "$2" >"$2/cpack.log" 2>&1; then
        cat "$2/cpack.log"
        return 1
    fi
    deb=$(echo "$2"/tarvexgl_*.deb)
    [ -f "$deb" ] || { echo "no tarvexgl_*.deb in the cpack output"; return 1; }
}

# as_user COMMAND...: COMMAND as this user, or, when this is root, as nobody
# (65534, which every Debian system has), with no supplementary groups; from
# the folder /, since nobody may not enter the one the test runs in (a build
# tree under /root). A desktop runs its thumbnailers as the user logged in,
# never as root, and lintian asks not to unpack packages as root. What
# nobody must read has to be readable by all.
as_user() {
    if [ "$(id -u)" = 0 ]; then
        (cd / && exec setpriv --reuid=65534 --regid=65534 --clear-groups "$@")
    else
        (cd / && exec "$@")
    fi
}

# The owner as_user runs as, for chown.
user_owner() {
    if [ "$(id -u)" = 0 ]; then echo 65534:65534; else echo "$(id -u):$(id -g)"; fi
}
