// The viewer's own layout, written: the keyword OFF, "V F 0", one "x y z"
// line per vertex, one "3 a b c" line per triangle.
#pragma once

#include <string>

#include "mesh/polygon_mesh.h"

// Coordinates are written in the shortest form that reads back as the very
// same double (std::to_chars), so the viewer draws exactly the points that
// were computed.
std::string offText(const TriangleMesh& mesh);

// The same text written to the open descriptor `fd` in pieces of about a
// megabyte, never the whole file in memory. False (errno set) when a write
// fails.
bool writeOff(const TriangleMesh& mesh, int fd);

// Writes to `path`, or to standard output when `path` is "-", whole or not at
// all, through writeOutputFile (mesh/output_file.h). False with a one-line
// reason (no path, no line break) in `error`.
bool writeOffFile(const TriangleMesh& mesh, const std::string& path, std::string& error);
