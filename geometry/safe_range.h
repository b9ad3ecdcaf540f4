// geometry: the pure steps between a file's polygons and the viewer's
// triangles (safe range, orientation, triangulation, sharp edges, up,
// framing). No input or output; the same bits every run.
//
// This file: coordinates near the ends of a double's range, brought to the
// middle of it by a power of two before anything is computed from them.
//
// Products of coordinate differences (normals, turns, areas) overflow beyond
// about 1e154 and lose their digits below about 1e-154, and the framing's
// sums overflow near 1e308. Multiplying by a power of two changes no digit
// (unless a coordinate falls below the smallest normal double, which then
// happens only to coordinates too small to matter beside the largest), so a
// mesh scaled this way has the same shape, the same turns and the same
// framing as before, to the last bit the framing's arithmetic allows.
#pragma once

#include <vector>

#include "mesh/model.h"

// Coordinates whose largest magnitude lies within 2^-safeRangeExponent ..
// 2^safeRangeExponent are left as they are.
inline constexpr int safeRangeExponent = 400;

// The power of two to multiply by when the largest |coordinate| is
// `largest`: 0 when it is 0 or within the safe range, else the one that
// brings it to [1, 2). `largest` must be finite.
int safeScaleExponent(double largest);

// Multiplies every coordinate of `points` by 2^safeScaleExponent(the largest
// |coordinate|); the points must be finite. Returns that exponent.
int scaleIntoSafeRange(std::vector<Vertex>& points);

// The power of two that brings the largest |coordinate| of `points` to
// [1/2, 1) (1 when all are 0): products of coordinates scaled by it, such as
// normals and volumes, neither overflow nor lose their digits.
double unitScale(const std::vector<Vertex>& points);
