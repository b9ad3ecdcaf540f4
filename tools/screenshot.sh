#!/bin/sh
# Shows a mesh in the real viewer on a private Xvfb screen, lets it turn for
# a second, and saves the window as PNG.
#   screenshot.sh BUILD_DIR MESH OUT.png
set -eu
[ $# = 3 ] || { echo "usage: screenshot.sh BUILD_DIR MESH OUT.png" >&2; exit 2; }
export LIBGL_ALWAYS_SOFTWARE=1
exec xvfb-run -a -s "-screen 0 1280x1024x24" sh -c '
    echo "$2" | "$1/tarvexgl" >/dev/null &
    viewer=$!
    status=0
    "$1/windowshot" TarvexGLRendering "$3" || status=$?
    kill "$viewer" 2>/dev/null || status=1   # the viewer must still be running
    wait "$viewer" 2>/dev/null || true
    exit "$status"' screenshot "$1" "$2" "$3"
