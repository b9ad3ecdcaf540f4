// Face and corner normals.
//
// All arithmetic is in double precision, in the order written below, and the
// library is built without floating-point contraction, so the same mesh gives
// the same bits on every run, with one thread or two.
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
// only cornerNormal; temporary memory is freed before it returns.
void smoothCornerNormals(Face* faces, std::int32_t faceCount);
