// OBJ read into polygons: the positions of its "v" statements and the faces
// of its "f" statements. Every other statement (vt, vn, vp, o, g, s, usemtl,
// mtllib, l, p, ...) is read past: no other file is ever opened. Corners at
// one position are joined (mesh/join_positions.h).
//
//   v x y z [more numbers]   (w, or the r g b some programs add: not kept)
//   f a b c ...              each corner v, v/vt, v//vn or v/vt/vn: v counts
//                            from 1, or back from the last v so far when
//                            negative (-1 is the last one)
//   # ...                    a comment, to the end of the line
// A backslash at the end of a line joins the next line to it.
#pragma once

#include <string>
#include <string_view>

#include "mesh/polygon_mesh.h"

// Reads `bytes` into `mesh`. False on malformed input, with one line in
// `error`:
//   <path>:<line>: <statement>: expected <what>, found '<token>'
// Coordinates are finite and indices in range when it returns true. Throws
// std::bad_alloc when memory runs out.
bool readObj(std::string_view bytes, std::string_view path, PolygonMesh& mesh, std::string& error);
