// Face and corner normals.
//
// All arithmetic is in double precision, in the order written below, and the
// library is built without floating-point contraction, so the same mesh gives
// the same bits on every run, whatever the threads and the vector width.
#pragma once

#include <cstdint>

#include "mesh/model.h"

// Scales v to unit length: factor 1 / length, or 0 when the computed length
// is exactly zero (the zero vector stays zero; no tolerance). A NaN length
// takes the 1 / length branch.
void normalize(double v[3]);

// faceNormal = normalize(a x b) with a = P1 - P0 and b = P2 - P0: it points
// towards a viewer who sees the corners anticlockwise, and is exactly zero for
// a triangle whose cross product is zero. Each cornerNormal is seeded with a
// copy of it. Reads only cornerPosition.
void computeFaceNormal(Face& face);

// Completes every cornerNormal once computeFaceNormal has run for every face.
// Corner k of face F becomes
//   normalize(seed + sum of faceNormal of every face G, in table order, whose
//             corner k names the same vertex as F's corner k)
// where the seed is F's own normal, so F counts twice. Only the same corner
// slot gathers: faces sharing the vertex through another slot do not count.
// Unit normals are summed unweighted. Reads faceNormal and vertexIndex, writes
// only cornerNormal (the seeds included).
//
// Time: a corner shared by m faces costs m additions for each of them, so a
// vertex that m faces name in the same slot costs m * m (a fan: 10^10 for
// 100 000 faces); degenerate faces, whose normals are zero, are left out of
// those additions where that gives the same bits, so they cost about m.
// Uses the processors it may run on. Memory: an index of 25 bytes per face
// and 12 per vertex up to the highest index, plus up to 0.75 MB for a corner
// shared by thousands, freed before it returns. Without it, or for negative
// indices, it falls back on the scan of every pair of faces, which needs no
// memory but takes time proportional to faceCount squared.
void smoothCornerNormals(Face* faces, std::int32_t faceCount);

// The same on at most `threads` threads (the result does not depend on how
// many), for callers that hold the vertex indices in a table of their own:
// corners[3 * j + k] equals faces[j].vertexIndex[k], and is below
// `vertexSpan`. Needs 13 bytes per face, 12 per vertex and up to 0.75 MB;
// returns false, with nothing written, when that memory cannot be had.
bool smoothCornerNormals(Face* faces, std::int32_t faceCount, const std::int32_t* corners, std::int32_t vertexSpan,
                         int threads);

// What a load does to the face table once the numbers are read, in one pass
// over it: for every face j, vertexIndex[k] = corners[3 * j + k], the corner
// positions copied from `vertices`, computeFaceNormal; then the corner
// normals, as smoothCornerNormals gives them. Indices must be below
// `vertexCount`. Needs the same memory as smoothCornerNormals above, and
// returns false, with nothing written, when it cannot be had.
bool fillFaceTable(Face* faces, std::int32_t faceCount, const Vertex* vertices, const std::int32_t* corners,
                   std::int32_t vertexCount, int threads);
