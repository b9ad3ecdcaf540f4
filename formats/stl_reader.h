// STL, binary and text, read into polygons: each facet a face, its corners
// joined with every other corner at the same position (mesh/join_positions.h),
// since STL lists a corner again for every facet that has it. Normals are
// not kept (the viewer computes its own).
//
// Binary: an 80-byte header, the facet count (32 bits, little-endian), then
// 50 bytes a facet: a normal and three corners as float32, and 2 bytes of
// attributes. The file must be exactly 84 + 50 x count bytes long.
//
// Text: "solid [name]", then facets
//   facet normal nx ny nz
//     outer loop
//       vertex x y z        (three of them, or more: a polygon)
//     endloop
//   endfacet
// and "endsolid [name]", the names running to the end of their line; several
// solids may follow one another. Keywords in any case, any white space
// between tokens.
//
// A file that starts with "solid" is text unless its length is exactly that
// of a binary file of the count at byte 80 (binary writers put anything in
// the header, "solid" included).
#pragma once

#include <string>
#include <string_view>

#include "mesh/polygon_mesh.h"

// Reads `bytes` into `mesh`. False on malformed input, with one line in
// `error`:
//   <path>:<line>: facet <k>: expected <what>, found '<token>'     (text)
//   <path>: facet <k> of <n> (byte <b>): expected <what>, found <x> (binary)
// Coordinates are finite and indices in range when it returns true; what is
// allocated is bounded by the length of `bytes`. Throws std::bad_alloc when
// memory runs out.
bool readStl(std::string_view bytes, std::string_view path, PolygonMesh& mesh, std::string& error);
