// A polygon laid flat in its own plane, as both ways of cutting it into
// triangles (geometry/sweep_triangulate.h, geometry/ear_clipping.h) take it:
// its corners as (u, v) points, the turn of three of them, and a triangle as
// three positions in the corner list.
#pragma once

#include <array>
#include <cstdint>

struct PlanePoint {
    double u, v;
};

// (b - a) x (c - a): positive when a, b, c turn anticlockwise.
inline double cross(PlanePoint a, PlanePoint b, PlanePoint c) {
    return (b.u - a.u) * (c.v - a.v) - (b.v - a.v) * (c.u - a.u);
}

inline bool samePoint(PlanePoint a, PlanePoint b) { return a.u == b.u && a.v == b.v; }

using LocalTriangle = std::array<std::uint32_t, 3>;
