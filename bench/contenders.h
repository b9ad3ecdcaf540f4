// What the load benchmark races against the real Model constructor: the floor
// (the least any reader of this layout must do) and a plain fscanf reader.
#pragma once

#include <cstdint>

// A digest of a loaded mesh, so that contenders that claim to build the same
// tables can be checked to have built the same bits.
struct Digest {
    std::uint64_t value = 0;
};

// Reads the file with one read() and converts every number with
// std::from_chars into two flat arrays (coordinates, then the four integers of
// each face record), nothing else: no checks, no records, no normals.
// Returns a digest of the arrays.
Digest loadFloor(const char* path);

// fopen and fscanf with the layout's conversions ("%11s", "%d", "%lf", ...),
// plain malloc'd tables, corner positions copied face by face, then the
// library's computeFaceNormal and smoothCornerNormals: the same tables and
// normals as the Model constructor, built the obvious way.
Digest loadFscanf(const char* path);
