// Corners at the same position made one vertex. STL lists every corner once
// for each facet that has it, and other formats repeat a position where a
// texture or a normal changes; the viewer shades smoothly only across faces
// that share a vertex, and positions are all tarvexgl-fit keeps.
//
// Positions are the same when their coordinates are equal as numbers (0 and
// -0 are one position); nothing is joined by a tolerance. Hashing, O(n)
// expected time, 4 bytes of table per distinct position at most half full.
#pragma once

#include <cstdint>
#include <vector>

#include "mesh/polygon_mesh.h"

// Distinct positions in the order they were first added, and a hash table
// that finds the number of one already added.
struct PositionIndex {
    std::vector<Vertex> positions;
    std::vector<std::uint32_t> slots;  // 0: empty, else 1 + the position's number
};

// Makes room for about `expected` distinct positions (more are taken too).
// Throws std::bad_alloc when memory runs out.
void reservePositions(PositionIndex& index, std::size_t expected);

// The number of `p` among the distinct positions, adding it when it is new.
// At most 2^31 - 1 distinct positions (the viewer's counts): past that,
// returns -1 without adding. Throws std::bad_alloc when memory runs out.
std::int32_t addPosition(PositionIndex& index, const Vertex& p);

// Joins the vertices of `mesh` that share a position: each corner is
// renumbered to the first vertex with its position, and `mesh.vertices`
// keeps only those first vertices, in their order. Throws std::bad_alloc.
void joinIdenticalPositions(PolygonMesh& mesh);
