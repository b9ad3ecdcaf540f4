// OFF as other programs write it, read into polygons: tarvexgl-fit's reader.
// (The viewer's own, mesh/off_reader.h, takes triangles only, in one strict
// layout.)
//
// Text OFF:
//   [ST][C][N][4][n]OFF   optional keyword; the vertex count may be glued to
//                         it (OFF8); nOFF is followed by the dimension, which
//                         must be 3
//   V F [E]               vertex, face and edge counts (E ignored)
//   V vertex records      x y z (x y z w with 4: divided by w), then the
//                         extra data the keyword names: ST two texture
//                         coordinates, C a colour, N a normal (all ignored)
//   F face records        n, then n zero-based vertex indices, then
//                         optionally a colour (ignored)
// `#` starts a comment that runs to the end of the line, anywhere; blank
// lines, CR LF and any white space separate tokens.
//
// Two readings are tried. The first takes the file as a pure stream of
// tokens (line breaks mean nothing; a vertex carries exactly the extra
// numbers its keyword names, a face nothing after its indices) and must use
// up the whole file. If it does not, the second takes one record per line:
// a record starts on a new line and whatever follows its numbers on that
// line (colours, of 3 or 4 values, integers or not) is skipped. When both
// fail, the message is the one of the reading that got further into the file.
//
// Binary OFF ("OFF BINARY" ending its line, any keyword above): 32-bit
// counts, float32 vertex records with the same extra data, and face records
// n, n indices, then a colour count and that many float32 colour values. Big-
// endian as the format defines it, or little-endian as some programs write
// it, and with or without the colour count: the combination that reads to
// the end of the file is taken, or else one with colour counts that reads
// every face and leaves bytes after them. A reading without colour counts
// must account for every byte, since it takes a colour count of 0 for a face
// without corners.
#pragma once

#include <string>
#include <string_view>

#include "mesh/polygon_mesh.h"

// Reads `bytes` into `mesh`. On malformed input returns false and sets
// `error` to one line without a line break, worded as the viewer's reader
// words the same fault (mesh/off_cursor.h):
//   <path>:<line>: <record>: expected <what>, found '<token>'
//   <path>: not enough memory for <V> vertices and <F> faces
// (or "found end of file"). Counts are checked against the bytes that follow
// before anything is allocated for them. Every coordinate is finite and every
// index is in range when it returns true. Throws nothing.
bool readPolygonOff(std::string_view bytes, std::string_view path, PolygonMesh& mesh, std::string& error);

// Whether the first word of `bytes` (after blanks and comments) is an OFF
// keyword, possibly with the vertex count glued to it.
bool startsWithOffKeyword(std::string_view bytes);
