#!/bin/sh
# Writes every mesh of tools/examples.list into a folder with meshgen.
#   make-examples.sh MESHGEN FOLDER
set -eu
meshgen=$1
out=$2
mkdir -p "$out"
grep -v '^#' "$(dirname "$0")/examples.list" | while read -r file shape faces digits; do
    [ -n "$file" ] || continue
    "$meshgen" "$shape" "$faces" "$digits" > "$out/$file"
done
