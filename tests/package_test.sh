#!/bin/sh
# Builds the Debian package from a finished build tree into a temporary
# folder and checks what it would install: exactly the programs, their
# manual pages, the desktop files and the package's documents (paths under
# usr/), the programs the desktop files run, a changelog whose top entry is
# the package's version, a dependency (worked out by dpkg-shlibdeps) on the
# package of every library a program links and, for a hardened build, the
# hardening of every program in usr/bin. Then lintian, Debian's own check of
# a package: any error or warning fails the test, and its notes (I:) are
# shown. That the package installs and its programs run with only what it
# declares is for make test-fresh, on a fresh system; its thumbnailer in the
# desktop's sandbox is for thumbnailer_sandbox_test.sh.
#   package_test.sh BUILD_DIR hardened|plain PROGRAM... [-- FILE...]
set -eu
build=$1
hardening=$2
shift 2
programs=""
while [ $# -gt 0 ] && [ "$1" != -- ]; do programs="$programs $1"; shift; done
[ $# -gt 0 ] && shift
data_files="$*"
set -- $programs
. "$(dirname "$0")/debian_package.sh"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
build_package "$build" "$tmp"

# Files only: directories come and go with them.
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort)
expected=$( (for p in "$@"; do printf './usr/bin/%s\n./usr/share/man/man1/%s.1.gz\n' "$p" "$p"; done
    for f in $data_files; do printf './usr/%s\n' "$f"; done) | sort)
if [ "$files" != "$expected" ]; then
    printf 'package holds:\n%s\nexpected:\n%s\n' "$files" "$expected"
    exit 1
fi

dpkg-deb -x "$deb" "$tmp/root"
status=0
for p in "$@"; do
    [ -x "$tmp/root/usr/bin/$p" ] || { echo "usr/bin/$p is not executable"; status=1; }
    # The title line names the page, hyphens possibly escaped: .TH TARVEXGL 1 ...
    title=$(gzip -dc "$tmp/root/usr/share/man/man1/$p.1.gz" | sed -n '/^\.TH /{s/\\-/-/g;s/"//g;p;q;}' |
        awk '{ print tolower($2), $3 }')
    [ "$title" = "$p 1" ] || { echo "$p.1.gz is not the $p(1) manual page (its title: '$title')"; status=1; }
done

# What the desktop runs (the Exec line's first word) is a program of the
# package.
for f in $data_files; do
    case "$f" in *.desktop | *.thumbnailer) ;; *) continue ;; esac
    exec_program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$tmp/root/usr/$f")
    [ -n "$exec_program" ] && [ -x "$tmp/root/usr/bin/$exec_program" ] ||
        { echo "usr/$f runs '$exec_program', which is not in usr/bin"; status=1; }
done

# The version a user sees in apt is the one the changelog's top entry
# announces: a new version needs a new entry in packaging/changelog.
version=$(dpkg-deb -f "$deb" Version)
gzip -dc "$tmp/root/usr/share/doc/tarvexgl/changelog.gz" >"$tmp/changelog"
top=$(dpkg-parsechangelog -l "$tmp/changelog" -S Version)
[ "$top" = "$version" ] ||
    { echo "the changelog's top entry is version $top, the package's $version: add an entry to packaging/changelog"; status=1; }

raw=$(dpkg-deb -f "$deb" Depends)
depends=", $raw,"
for bin in "$tmp"/root/usr/bin/*; do
    for soname in $(readelf -d "$bin" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
        owners=$(dpkg -S "*/$soname" 2>/dev/null | sed 's/[:,].*//' | sort -u)
        found=no
        for p in $owners; do
            case "$depends" in *[\ ,\|]"$p"[\ ,\(]*) found=yes ;; esac
        done
        if [ "$found" = no ]; then
            echo "${bin##*/} links $soname (from: ${owners:-no package}) but Depends is: $raw"
            status=1
        fi
    done
done

# What Debian's hardening flags leave in a binary: position-independent
# (PIE), relocations read-only after start-up (-z relro -z now), stack
# canaries (-fstack-protector-strong) and the checked libc calls of
# -D_FORTIFY_SOURCE=2.
if [ "$hardening" = hardened ]; then
    for bin in "$tmp"/root/usr/bin/*; do
        name=${bin##*/}
        readelf -hldW --dyn-syms "$bin" >"$tmp/readelf" 2>&1
        missing=""
        grep -q '^ *Type: *DYN' "$tmp/readelf" && grep -q '(FLAGS_1).*PIE' "$tmp/readelf" || missing="$missing PIE"
        grep -q '(BIND_NOW)\|(FLAGS).*BIND_NOW\|(FLAGS_1).* NOW' "$tmp/readelf" || missing="$missing BIND_NOW"
        grep -q ' GNU_RELRO ' "$tmp/readelf" || missing="$missing GNU_RELRO"
        grep -q ' __stack_chk_fail' "$tmp/readelf" || missing="$missing __stack_chk_fail"
        grep -q ' __[a-z0-9_]*_chk\(@\| \|$\)' "$tmp/readelf" || missing="$missing fortified-calls"
        if [ -n "$missing" ]; then
            echo "$name lacks:$missing"
            status=1
        else
            echo "$name: PIE, BIND_NOW, GNU_RELRO, stack protector, fortified calls"
        fi
    done
fi

# lintian, not as root (see as_user), in a folder of this test's own;
# --no-cfg keeps a developer's own lintian settings out.
chmod 755 "$tmp"
mkdir "$tmp/lintian"
chown "$(user_owner)" "$tmp/lintian"
if as_user env HOME=/nonexistent TMPDIR="$tmp/lintian" lintian --no-cfg --fail-on error,warning --display-info "$deb" \
    >"$tmp/lintian.log" 2>&1; then
    sed 's/^/lintian: /' "$tmp/lintian.log"
else
    echo "lintian finds errors or warnings (E: or W:) in the package:"
    cat "$tmp/lintian.log"
    status=1
fi
exit $status
