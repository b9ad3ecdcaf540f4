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
// it (its name and six characters more, the name shortened where that would
// be too long), which is renamed over `path` only once every byte is written
// and the file closed. A symbolic link is written through: the file it names
// (after every link on the way) gets the text, and is made if it does not
// exist yet; the link stays. A device or a FIFO is written directly. False
// with a one-line reason (no path, no line break) in `error`.
bool writeOffFile(const TriangleMesh& mesh, const std::string& path, std::string& error);
