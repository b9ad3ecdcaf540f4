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
// where the seed is F's own faceNormal, so F counts twice. Only the same
// corner slot gathers: faces sharing the vertex through another slot do not
// count. Unit normals are summed unweighted. Reads faceNormal and
// vertexIndex (any values), writes only cornerNormal.
//
// Runs on at most `threads` threads; the result does not depend on how many,
// nor on the vector width (on x86-64 AVX2 where the C library reports it
// usable, else SSE2; GLIBC_TUNABLES=glibc.cpu.hwcaps=-AVX2 hides AVX2).
//
// Time: m * m additions for a vertex that m faces name in the same slot (a
// fan of 100 000 faces: 10^10), except that degenerate faces, whose normals
// are zero, cost about m. Memory, all freed before it returns: a copy of the
// vertex indices, an index of the corners by vertex (one entry per corner and
// per vertex between the lowest and the highest index) and a copy of the
// normals of the biggest group. When that memory cannot be had it returns
// false with nothing written.
bool smoothCornerNormals(Face* faces, std::int32_t faceCount, int threads);

// What a load does to its face table once the numbers are read, in fewer
// trips through it than filling it and then calling smoothCornerNormals: for
// every face j, vertexIndex[k] = corners[3 * j + k], each below
// `vertexCount`; the corner positions copied from `vertices`; faceNormal as
// computeFaceNormal gives it; the corner normals as smoothCornerNormals gives
// them. Needs the memory that smoothCornerNormals needs but the copy of the
// vertex indices, and returns false, with nothing written, when it cannot be
// had.
bool fillFaceTable(Face* faces, std::int32_t faceCount, const Vertex* vertices, const std::int32_t* corners,
                   std::int32_t vertexCount, int threads);
