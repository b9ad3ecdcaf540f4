#!/bin/sh
# The committed examples are exactly what meshgen makes from
# tools/examples.list: no stale file, none missing, none edited by hand.
#   examples_reproducible.sh MESHGEN SOURCE_DIR
set -eu
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
sh "$2/tools/make-examples.sh" "$1" "$tmp"
diff -r "$tmp" "$2/examples" || { echo "examples/ differs from tools/examples.list: run make examples"; exit 1; }
