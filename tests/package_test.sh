#!/bin/sh
# Builds the Debian package from a finished build tree into a temporary
# folder and checks what it would install: exactly the programs, their
# manual pages and the desktop files (paths under usr/), the programs the
# desktop files run, a dependency (worked out by dpkg-shlibdeps) on the
# package of every library a program links and, for a hardened build, the
# hardening of every program in usr/bin. That the package installs and its
# programs run with only what it declares is for make test-fresh, on a fresh
# system.
#   package_test.sh BUILD_DIR hardened|plain PROGRAM... [-- DESKTOP_FILE...]
set -eu
build=$1
hardening=$2
shift 2
programs=""
while [ $# -gt 0 ] && [ "$1" != -- ]; do programs="$programs $1"; shift; done
[ $# -gt 0 ] && shift
desktop_files="$*"
set -- $programs
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$tmp" >"$tmp/cpack.log" 2>&1; then
    cat "$tmp/cpack.log"
    exit 1
fi
deb=$(echo "$tmp"/tarvexgl_*.deb)
[ -f "$deb" ] || { echo "no tarvexgl_*.deb in the cpack output"; exit 1; }

# Files only: directories come and go with them.
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort)
expected=$( (for p in "$@"; do printf './usr/bin/%s\n./usr/share/man/man1/%s.1.gz\n' "$p" "$p"; done
    for f in $desktop_files; do printf './usr/%s\n' "$f"; done) | sort)
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
for f in $desktop_files; do
    case "$f" in *.desktop | *.thumbnailer) ;; *) continue ;; esac
    exec_program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$tmp/root/usr/$f")
    [ -n "$exec_program" ] && [ -x "$tmp/root/usr/bin/$exec_program" ] ||
        { echo "usr/$f runs '$exec_program', which is not in usr/bin"; status=1; }
done

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
exit $status
