#!/bin/sh
# The file manager's thumbnailer run as GNOME runs it, from the package: the
# Exec line of the entry the package installs, its %-codes filled in as
# gnome-desktop fills them, inside bubblewrap with the arguments
# gnome-desktop gives it (the system's /usr and /etc/ld.so.cache read-only,
# /bin, /lib, /lib64 and /sbin as links into /usr, a /proc and a minimal
# /dev of its own, every namespace unshared, so no network, no display and
# no home; a private folder as /tmp, the input bound read-only inside it
# under gnome-desktop's name), with the file manager's environment, as a
# user who is not root. An OFF and a PLY must each give a PNG of the size
# asked for with the mesh drawn on it, a broken file no PNG and a non-zero
# status, and nothing may be left behind in /tmp.
#
# The programs are the package's own: cpack builds it from BUILD_DIR into
# this test's folder, and its usr/bin is bound over the sandbox's /usr/bin.
# Nothing else of the system's /usr/bin is then in the sandbox, which makes
# it stricter than the desktop's, never looser: bwrap cannot bind one file
# over a path of a read-only /usr that does not exist, as /usr/bin/<program>
# does not where the package is not installed.
#
# bwrap needs a new user namespace, which the kernel refuses to any process
# inside a chroot, such as make test-fresh's root: there the test says so on
# a line of its own, "Skipped: ...", and ends with status 77 (a ctest skip).
# TARVEXGL_REQUIRE_SANDBOX=1 makes that a failure, for make test-package,
# which CI runs outside any chroot.
#   thumbnailer_sandbox_test.sh BUILD_DIR PNG_FACTS
set -eu
build=$1
png_facts=$2
. "$(dirname "$0")/debian_package.sh"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
chmod 755 "$tmp"

if ! as_user bwrap --unshare-all --die-with-parent --ro-bind / / true 2>"$tmp/bwrap.err"; then
    if ischroot; then
        why="this is a chroot, and the kernel refuses a new user namespace to any process inside one"
    else
        why="the kernel refuses a new user namespace here"
    fi
    echo "Skipped: thumbnailer_sandbox: no bubblewrap sandbox: $why ($(head -n 1 "$tmp/bwrap.err"));" \
        "make test-package runs it outside any chroot, as CI does"
    [ "${TARVEXGL_REQUIRE_SANDBOX:-0}" = 1 ] && { echo "TARVEXGL_REQUIRE_SANDBOX=1: the check must run here"; exit 1; }
    exit 77
fi

build_package "$build" "$tmp"
dpkg-deb -x "$deb" "$tmp/package"
entry=$(sed -n 's/^Exec=//p' "$tmp/package/usr/share/thumbnailers/tarvexgl.thumbnailer")
case "$entry" in
    '' | *[\"\'\\]*) echo "the thumbnailer's Exec line is '$entry': this test reads one of plain words only"; exit 1 ;;
esac

# A cube of six quads, wound outward.
mkdir "$tmp/input"
cat >"$tmp/input/cube.off" <<'EOF'
OFF
8 6 0
-1 -1 -1
1 -1 -1
1 1 -1
-1 1 -1
-1 -1 1
1 -1 1
1 1 1
-1 1 1
4 0 3 2 1
4 4 5 6 7
4 0 1 5 4
4 1 2 6 5
4 2 3 7 6
4 3 0 4 7
EOF
# A square pyramid standing y up, as most PLY files are modelled.
cat >"$tmp/input/pyramid.ply" <<'EOF'
ply
format ascii 1.0
element vertex 5
property float x
property float y
property float z
element face 5
property list uchar int vertex_indices
end_header
-1 0 -1
1 0 -1
1 0 1
-1 0 1
0 1.5 0
4 0 1 2 3
3 0 4 1
3 1 4 2
3 2 4 3
3 3 4 0
EOF
# Cut short in its second vertex.
printf 'OFF\n4 4 0\n0 0 0\n1 0\n' >"$tmp/input/broken.off"
chmod 644 "$tmp/input/"*

# thumbnail NAME SIZE: the entry's Exec line for input/NAME at SIZE pixels,
# in the sandbox, with the folder private-NAME as its /tmp (made afresh,
# only the user's own, as gnome-desktop makes it); its status in $status,
# its standard error in NAME.err.
thumbnail() {
    input=$1
    pixels=$2
    private=$tmp/private-$input
    mkdir -m 700 "$private"
    chown "$(user_owner)" "$private"
    inside=/tmp/gnome-desktop-file-to-thumbnail.${input##*.}
    output=/tmp/gnome-desktop-thumbnailer.png

    # Each word of the Exec line, %s %u %i %o and %% replaced in it.
    set -f
    set -- $entry
    set +f
    for word; do
        set -- "$@" "$(printf '%s\n' "$word" | awk -v s="$pixels" -v u="file://$inside" -v i="$inside" -v o="$output" '{
            out = ""; rest = $0
            while ((at = index(rest, "%")) > 0) {
                code = substr(rest, at + 1, 1)
                out = out substr(rest, 1, at - 1)
                if (code == "s") out = out s
                else if (code == "u") out = out u
                else if (code == "i") out = out i
                else if (code == "o") out = out o
                else out = out code
                rest = substr(rest, at + 2)
            }
            print out rest
        }')"
        shift
    done

    # What gnome-desktop adds for each of /bin, /lib64, /lib and /sbin: a
    # link where the system's is one into /usr, else the folder read-only.
    merged=""
    for dir in bin lib64 lib sbin; do
        [ -e "/$dir" ] || continue
        if [ "$(stat -Lc %d:%i "/$dir")" = "$(stat -Lc %d:%i "/usr/$dir" 2>/dev/null)" ]; then
            merged="$merged --symlink /usr/$dir /$dir"
        else
            merged="$merged --ro-bind /$dir /$dir"
        fi
    done

    status=0
    # The environment of a file manager in a desktop session: its display,
    # runtime folder and home are all out of the sandbox's reach. Its PATH
    # leaves out /usr/local/bin, where a `make install` of this machine
    # would stand in for the package's programs.
    as_user env -i PATH=/usr/bin:/bin HOME=/home/desktop-user LANG=C.UTF-8 \
        DISPLAY=:0 WAYLAND_DISPLAY=wayland-0 XDG_RUNTIME_DIR=/run/user/1000 \
        bwrap --ro-bind /usr /usr --ro-bind "$tmp/package/usr/bin" /usr/bin \
        --ro-bind /etc/ld.so.cache /etc/ld.so.cache $merged \
        --proc /proc --dev /dev --chdir / --setenv GIO_USE_VFS local --unshare-all --die-with-parent \
        --bind "$private" /tmp --ro-bind "$tmp/input/$input" "$inside" \
        "$@" 2>"$tmp/$input.err" || status=$?
}

# left NAME: what the run for NAME left in its /tmp besides the input's
# mount point and the PNG.
left() {
    ls -A "$tmp/private-$1" | grep -v -x -e "gnome-desktop-file-to-thumbnail\.${1##*.}" -e gnome-desktop-thumbnailer.png || true
}

failed=0
for case in cube.off:256 pyramid.ply:128; do
    name=${case%:*}
    size=${case#*:}
    thumbnail "$name" "$size"
    png=$tmp/private-$name/gnome-desktop-thumbnailer.png
    if [ "$status" != 0 ] || [ ! -f "$png" ]; then
        echo "$name: status $status, $([ -f "$png" ] && echo a PNG || echo no PNG); its errors:"
        cat "$tmp/$name.err"
        failed=1
        continue
    fi
    facts=$("$png_facts" "$png") || { failed=1; continue; }
    set -- $facts
    # At least a fiftieth of the square is the mesh, not background.
    if [ "$1" != "$size" ] || [ "$2" != "$size" ] || [ $(($3 * 50)) -lt $((size * size)) ]; then
        echo "$name: a PNG of $1 x $2 pixels, $3 of them not background; expected $size x $size, a fiftieth drawn"
        failed=1
    else
        echo "$name: a $1 x $2 PNG, $(($3 * 100 / (size * size))) % of it drawn"
    fi
    [ -z "$(left "$name")" ] || { echo "$name: left in /tmp: $(left "$name")"; failed=1; }
done

thumbnail broken.off 256
lines=$(wc -l <"$tmp/broken.off.err")
if [ "$status" = 0 ] || [ -e "$tmp/private-broken.off/gnome-desktop-thumbnailer.png" ] || [ "$lines" != 1 ]; then
    echo "broken.off: status $status (expected non-zero), $lines lines on standard error (expected one), and" \
        "$([ -e "$tmp/private-broken.off/gnome-desktop-thumbnailer.png" ] && echo a PNG || echo no PNG)"
    cat "$tmp/broken.off.err"
    failed=1
else
    echo "broken.off: status $status, no PNG: $(cat "$tmp/broken.off.err")"
fi
[ -z "$(left broken.off)" ] || { echo "broken.off: left in /tmp: $(left broken.off)"; failed=1; }
exit $failed
