#!/bin/sh
# The README's promise tried as a packager's clean room tries a package (the
# idea of pbuilder and sbuild), on fresh minimal Debian 12 systems:
#
#  1. a bare root made by debootstrap --variant=minbase, or taken from the
#     tarball of one kept in FRESH_CACHE (made again when a week old; what a
#     root installs later is never kept);
#  2. a first root from it with only git and make installed, as the README's
#     quick start begins, and this checkout's last commit cloned into it;
#  3. there, as root, the README's test command, `make test`, which installs
#     everything else it needs through tools/install-deps.sh (its test of
#     the thumbnailer in GNOME's sandbox skips itself with a line saying so:
#     the kernel gives no new user namespace to a process in a chroot; CI's
#     make test-package runs it outside);
#  4. there, `make package`;
#  5. a second root from the bare one, and the package installed into it by
#     `apt-get install ./tarvexgl_*.deb`, which brings in only what the
#     package declares;
#  6. its tarvexgl-fit run on a small OBJ, and its viewer on the result,
#     under an Xvfb of the first root whose socket is bound into the second;
#     the viewer's window is closed once it is mapped.
#
#   test-fresh.sh CHECKOUT
#
# As root, on Debian with debootstrap, git and network access to the Debian
# archive (FRESH_MIRROR, default http://deb.debian.org/debian). The roots
# live in a new folder under TMPDIR (default /var/tmp). Whatever fails, the
# processes left in them are ended, everything mounted in them (proc, a
# /dev of their own, the X socket) is unmounted and, once /proc/mounts shows
# nothing under the folder, it is removed without crossing into any other
# file system. Prints how long each step took.
set -eu

checkout=${1:?usage: test-fresh.sh CHECKOUT}
mirror=${FRESH_MIRROR:-http://deb.debian.org/debian}
cache=${FRESH_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tarvexgl}
tarball=$cache/bookworm-minbase.tar
# What a program in a root starts with: the environment of a fresh login
# there as root, none of this one's.
login="/usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root"

[ "$(id -u)" = 0 ] || { echo "test-fresh: needs root, to make roots and mount in them" >&2; exit 1; }
commit=$(git -C "$checkout" rev-parse HEAD)
work=$(mktemp -d "${TMPDIR:-/var/tmp}/tarvexgl-fresh.XXXXXX")
# /proc/mounts escapes blanks and other odd bytes: keep the folder's name plain.
case "$work" in
    *[!A-Za-z0-9_./-]*) echo "test-fresh: $work: choose a TMPDIR of plain characters" >&2; rmdir "$work"; exit 1 ;;
esac
first=$work/first
second=$work/second
step="setting up"
start=""
times=""

# Mount points under $1, deepest first.
mounts_under() {
    awk -v top="$1/" 'index($2, top) == 1 { print $2 }' /proc/mounts | sort -r
}

# Removes a root or the whole work folder: never while anything is mounted
# under it, since rm would go on through a mount into what it shows.
remove_tree() {
    for m in $(mounts_under "$1"); do
        umount "$m" || umount --lazy "$m"
    done
    if [ -n "$(mounts_under "$1")" ]; then
        echo "test-fresh: still mounted under $1, so it is left in place:" >&2
        mounts_under "$1" >&2
        return 1
    fi
    rm -rf --one-file-system "$1"
}

cleanup() {
    status=$?
    set +e
    trap - EXIT INT TERM HUP
    [ -z "$start" ] || note_time "$step (did not finish)"
    start=$(date +%s)
    # Whatever still runs in a root (a step cut short, the Xvfb) would hold
    # its mounts: these are this script's own children, found by their root.
    for p in /proc/[0-9]*; do
        case "$(readlink "$p/root" 2>/dev/null)/" in
            "$work"/*) kill -KILL "${p#/proc/}" 2>/dev/null ;;
        esac
    done
    wait 2>/dev/null
    remove_tree "$work" || status=1
    note_time "removing the roots"
    printf 'test-fresh: the steps, on %s cores (load average now %s):\n%s' \
        "$(nproc)" "$(cut -d' ' -f1-3 /proc/loadavg)" "$times"
    if [ "$status" = 0 ]; then
        echo "test-fresh: passed, commit $commit"
    else
        echo "test-fresh: FAILED in step: $step" >&2
    fi
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

# timed LABEL COMMAND...: runs a step and notes how long it took.
timed() {
    step=$1
    shift
    echo "== test-fresh: $step"
    start=$(date +%s)
    "$@"
    note_time "$step"
    start=""
}

note_time() {
    seconds=$(($(date +%s) - start))
    times="$times$(printf '  %-62s %2d:%02d' "$1" $((seconds / 60)) $((seconds % 60)))
"
}

# in_root ROOT COMMAND...: runs COMMAND in ROOT, as root at a fresh login.
# The programs run in the background below are started as
# `chroot ROOT $login COMMAND &` instead, so that $! is the program itself
# (chroot and env each exec the next), not a shell running this function.
in_root() {
    root=$1
    shift
    chroot "$root" $login "$@"
}

make_bare_root() {
    if [ -n "$(find "$tarball" -mtime -7 2>/dev/null)" ]; then
        echo "the bare root from $tarball"
        return
    fi
    debootstrap --variant=minbase bookworm "$work/bare" "$mirror"
    rm -f "$work/bare/var/cache/apt/archives/"*.deb
    mkdir -p "$cache"
    # /dev is mounted afresh in each root (mount_system), so none of its nodes are kept.
    tar -C "$work/bare" --exclude='./dev/*' -cf "$tarball.$$" .
    mv "$tarball.$$" "$tarball"
    remove_tree "$work/bare"
}

# What a running system has and a chroot lacks: /proc, and a /dev of its
# own on a tmpfs holding only the usual nodes and a private instance of
# devpts, never the host's /dev.
mount_system() {
    mount -t proc proc "$1/proc"
    mount -t tmpfs -o mode=755 tarvexgl-dev "$1/dev"
    mknod -m 666 "$1/dev/null" c 1 3
    mknod -m 666 "$1/dev/zero" c 1 5
    mknod -m 666 "$1/dev/full" c 1 7
    mknod -m 666 "$1/dev/random" c 1 8
    mknod -m 666 "$1/dev/urandom" c 1 9
    mknod -m 666 "$1/dev/tty" c 5 0
    ln -s /proc/self/fd "$1/dev/fd"
    ln -s /proc/self/fd/0 "$1/dev/stdin"
    ln -s /proc/self/fd/1 "$1/dev/stdout"
    ln -s /proc/self/fd/2 "$1/dev/stderr"
    mkdir -m 1777 "$1/dev/shm"
    mkdir "$1/dev/pts"
    mount -t devpts -o newinstance,ptmxmode=0666,mode=620 devpts "$1/dev/pts"
    ln -s pts/ptmx "$1/dev/ptmx"
}

# new_root DIR: a fresh system from the bare root, with the archive of a
# Debian 12 installation (updates and security too), its services kept from
# starting (as pbuilder does) and the host's name server.
new_root() {
    mkdir "$1"
    tar -C "$1" -xf "$tarball"
    cat >"$1/etc/apt/sources.list" <<EOF
deb $mirror bookworm main
deb $mirror bookworm-updates main
deb ${mirror%/debian}/debian-security bookworm-security main
EOF
    printf '#!/bin/sh\nexit 101\n' >"$1/usr/sbin/policy-rc.d"
    chmod 755 "$1/usr/sbin/policy-rc.d"
    cp -L /etc/resolv.conf "$1/etc/resolv.conf"
    mount_system "$1"
}

# The quick start's first line, stricter: no recommended packages either, so
# that nothing comes along that the project's list should name.
first_root() {
    new_root "$first"
    in_root "$first" apt-get update -qq
    in_root "$first" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends git make
    if [ -n "$(git -C "$checkout" status --porcelain)" ]; then
        echo "note: the checkout has changes that are not committed; the clone holds commit $commit only"
    fi
    # A clone holds what is committed, and nothing beside the source tree.
    git -C "$checkout" bundle create "$first/tmp/tarvexgl.bundle" HEAD
    in_root "$first" git -c advice.detachedHead=false clone -q /tmp/tarvexgl.bundle /root/tarvexgl
    rm "$first/tmp/tarvexgl.bundle"
}

# The second root installs from the first's package lists and downloads:
# the same state of the archive, fetched once.
install_package() {
    new_root "$second"
    cp -a "$first/var/lib/apt/lists/." "$second/var/lib/apt/lists/"
    cp -a "$first/var/cache/apt/archives/." "$second/var/cache/apt/archives/"
    set -- "$first"/root/tarvexgl/build/tarvexgl_*.deb
    [ $# = 1 ] && [ -f "$1" ] || { echo "test-fresh: no single tarvexgl_*.deb in build/" >&2; return 1; }
    cp "$1" "$second/tmp/"
    in_root "$second" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "/tmp/${1##*/}"
}

# A cube of six quads, y up as in most OBJ files.
cube_obj() {
    cat <<'EOF'
v -1 -1 -1
v 1 -1 -1
v 1 1 -1
v -1 1 -1
v -1 -1 1
v 1 -1 1
v 1 1 1
v -1 1 1
f 1 4 3 2
f 5 6 7 8
f 1 2 6 5
f 2 3 7 6
f 3 4 8 7
f 4 1 5 8
EOF
}

run_installed() {
    cube_obj >"$second/tmp/cube.obj"
    in_root "$second" tarvexgl-fit /tmp/cube.obj /tmp/cube.off
    # Every edge of a cube is sharp, so each corner becomes one vertex per
    # face around it: 24 vertices, and the sides shade flat.
    head -n 2 "$second/tmp/cube.off" | tr '\n' ' ' | grep -qx 'OFF 24 12 0 ' ||
        { echo "test-fresh: tarvexgl-fit wrote no OFF of 24 vertices and 12 triangles" >&2; return 1; }

    in_root "$first" cmake --build /root/tarvexgl/build --target closewindow >"$work/closewindow.log" 2>&1 ||
        { cat "$work/closewindow.log"; return 1; }
    # The Xvfb says which display it took, once it is ready for clients.
    mkfifo "$work/displayfd"
    chroot "$first" $login Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp \
        3>"$work/displayfd" >"$work/xvfb.log" 2>&1 &
    xvfb=$!
    read -r display <"$work/displayfd" || { cat "$work/xvfb.log"; return 1; }
    mkdir -p "$second/tmp/.X11-unix"
    mount --bind "$first/tmp/.X11-unix" "$second/tmp/.X11-unix"

    # The deadline only catches a viewer that hangs: closewindow ends it.
    echo /tmp/cube.off >"$work/answer"
    timeout 300 chroot "$second" $login DISPLAY=":$display" \
        LIBGL_ALWAYS_SOFTWARE=1 tarvexgl <"$work/answer" >"$work/viewer.out" 2>"$work/viewer.err" &
    viewer=$!
    chroot "$first" $login DISPLAY=":$display" /root/tarvexgl/build/closewindow TarvexGLRendering &
    closer=$!
    viewer_status=0
    wait "$viewer" || viewer_status=$?
    [ "$viewer_status" = 0 ] || kill "$closer" 2>/dev/null || true
    wait "$closer" || true
    kill "$xvfb"
    wait "$xvfb" 2>/dev/null || true
    umount "$second/tmp/.X11-unix"

    if [ "$viewer_status" != 0 ] || [ "$(cat "$work/viewer.out")" != "Enter the file name :  " ] ||
        [ -s "$work/viewer.err" ]; then
        echo "test-fresh: the installed viewer ended with status $viewer_status, not 0 once its window was closed" >&2
        echo "its output: '$(cat "$work/viewer.out")'; its errors:" >&2
        cat "$work/viewer.err" >&2
        return 1
    fi
    echo "the installed viewer showed /tmp/cube.off and ended when its window was closed"
}

echo "test-fresh: commit $commit in $work"
timed "bare Debian 12 root (debootstrap, or the cached tarball)" make_bare_root
timed "first root: git and make, the clone" first_root
timed "make test (installs the packages, builds, runs every test)" \
    in_root "$first" sh -c 'cd /root/tarvexgl && make test'
timed "make package" in_root "$first" sh -c 'cd /root/tarvexgl && make package'
timed "second root: apt-get install ./tarvexgl_*.deb" install_package
timed "the installed tarvexgl-fit and tarvexgl, under Xvfb" run_installed
step="removing the roots"
