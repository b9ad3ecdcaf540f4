// The viewer's own layout, written: the keyword OFF, "V F 0", one "x y z"
// line per vertex, one "3 a b c" line per triangle.
#pragma once

#include <string>

#include "fit/polygon_mesh.h"

// Coordinates are written in the shortest form that reads back as the very
// same double (std::to_chars), so the viewer draws exactly the points that
// were computed.
std::string offText(const TriangleMesh& mesh);

// The same text written to the open descriptor `fd` in pieces of about a
// megabyte, never the whole file in memory. False (errno set) when a write
// fails.
bool writeOff(const TriangleMesh& mesh, int fd);

// Writes to `path`, or to standard output when `path` is "-". A file is
// written whole or not at all: the text goes to a new temporary file beside
// it, which is renamed over `path` (over the file a symbolic link names,
// keeping the link) only once every byte is written and the file closed. A
// device or a FIFO is written directly. False with a one-line reason (no
// path, no line break) in `error`.
bool writeOffFile(const TriangleMesh& mesh, const std::string& path, std::string& error);
