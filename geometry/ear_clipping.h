// Ear clipping: any polygon into n - 2 triangles, even one that touches or
// crosses itself, at a cost that limits it to polygons of a few thousand
// corners. tarvexgl-fit cuts with it only what the sweep
// (geometry/sweep_triangulate.h) refuses.
#pragma once

#include <cstddef>
#include <vector>

#include "geometry/plane_polygon.h"

// Beyond this many corners a polygon is refused rather than cut for minutes.
inline constexpr std::size_t maxClippedCorners = 2000;

// Appends n - 2 triangles of the polygon `points` (3 <= n <=
// maxClippedCorners corners, finite coordinates, anticlockwise as a whole:
// its area counted with its sign is not negative) to `triangles`, each as
// three positions in `points` in the polygon's own cyclic order, so each
// faces the way the polygon does. Their sides pair up: each edge of the
// polygon is a side of one triangle, running the polygon's way, and every
// other side is shared by two triangles running opposite ways.
//
// A simple polygon is covered exactly: each triangle turns anticlockwise or
// has no area, and together they have its area. So is a hole that meets the
// outside, joined to it by a cut that the polygon runs along both ways, or
// touching it at a corner. Any other polygon that touches or crosses itself,
// or lists a corner twice in a row, still gets its n - 2 triangles, but some
// of them may turn clockwise.
//
// Returns false, with `triangles` as it was, for fewer than 3 corners or
// more than maxClippedCorners: the ears are found in about n steps for most
// polygons, but in up to about n^3 for those that cross themselves.
bool clipEars(const std::vector<PlanePoint>& points, std::vector<LocalTriangle>& triangles);
