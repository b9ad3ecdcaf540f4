#!/bin/sh
# Builds the Debian package from a finished build tree into a temporary
# folder and checks what it would install: exactly the two binaries and their
# manual pages, and a dependency on the package of every library they link.
#   package_test.sh BUILD_DIR
set -eu
build=$1
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
expected="./usr/bin/tarvexgl
./usr/bin/tarvexgl-fit
./usr/share/man/man1/tarvexgl-fit.1.gz
./usr/share/man/man1/tarvexgl.1.gz"
if [ "$files" != "$expected" ]; then
    printf 'package holds:\n%s\nexpected:\n%s\n' "$files" "$expected"
    exit 1
fi

dpkg-deb -x "$deb" "$tmp/root"
[ -x "$tmp/root/usr/bin/tarvexgl" ] || { echo "usr/bin/tarvexgl is not executable"; exit 1; }
gzip -dc "$tmp/root/usr/share/man/man1/tarvexgl.1.gz" | grep -q '^\.TH TARVEXGL 1 ' ||
    { echo "tarvexgl.1.gz is not the tarvexgl(1) manual page"; exit 1; }
[ -x "$tmp/root/usr/bin/tarvexgl-fit" ] || { echo "usr/bin/tarvexgl-fit is not executable"; exit 1; }
gzip -dc "$tmp/root/usr/share/man/man1/tarvexgl-fit.1.gz" | grep -q '^\.TH TARVEXGL-FIT 1 ' ||
    { echo "tarvexgl-fit.1.gz is not the tarvexgl-fit(1) manual page"; exit 1; }

raw=$(dpkg-deb -f "$deb" Depends)
depends=", $raw,"
status=0
for soname in $(for bin in tarvexgl tarvexgl-fit; do readelf -d "$tmp/root/usr/bin/$bin"; done |
                sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | sort -u); do
    owners=$(dpkg -S "*/$soname" 2>/dev/null | sed 's/[:,].*//' | sort -u)
    found=no
    for p in $owners; do
        case "$depends" in *[\ ,\|]"$p"[\ ,\(]*) found=yes ;; esac
    done
    if [ "$found" = no ]; then
        echo "links $soname (from: ${owners:-no package}) but Depends is: $raw"
        status=1
    fi
done
exit $status
