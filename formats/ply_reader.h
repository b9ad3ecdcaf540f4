// PLY, text and binary in either byte order, read into polygons: the x, y
// and z of every "vertex" record, and the "vertex_indices" (or
// "vertex_index") list of every "face" record. Every other element and
// property is read past and not kept. Corners at one position are joined
// (mesh/join_positions.h).
//
//   ply
//   format ascii|binary_little_endian|binary_big_endian 1.0
//   comment ... / obj_info ...
//   element NAME COUNT
//   property TYPE NAME                     (TYPE: char uchar short ushort int
//   property list COUNT-TYPE TYPE NAME      uint float double, or int8 uint8
//   end_header                              int16 uint16 int32 uint32 float32
//                                           float64)
//
// Then the elements' records in the header's order: in text, one record to a
// line; in binary, packed. Every byte of a binary body, and every token of a
// text body, must belong to a record: a file cut short or with records that
// do not match the header is refused, never read in part.
#pragma once

#include <string>
#include <string_view>

#include "mesh/polygon_mesh.h"

// Whether `bytes` starts as a PLY file does: "ply" on a line of its own
// (blanks after it allowed). `bytes` may be just the first few bytes.
bool startsAsPly(std::string_view bytes);

// Reads `bytes` into `mesh`. False on malformed input, with one line in
// `error`:
//   <path>:<line>: <record>: expected <what>, found '<token>'    (header, text)
//   <path>: <record> (byte <b>): expected <what>, found <x>       (binary)
// where <record> is, for instance, "face 12 of 96". Counts are checked
// against the length of `bytes` before anything is allocated for them.
// Coordinates are finite and indices in range when it returns true. Throws
// std::bad_alloc when memory runs out.
bool readPly(std::string_view bytes, std::string_view path, PolygonMesh& mesh, std::string& error);
