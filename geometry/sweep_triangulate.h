// A simple polygon into triangles in O(n log n): a sweep from top to bottom
// cuts it along diagonals into pieces that are monotone in the sweep's
// direction, and each piece is then cut in one pass along its two sides.
#pragma once

#include <vector>

#include "geometry/plane_polygon.h"

// Appends the n - 2 triangles of the polygon `points` (anticlockwise, n >= 3,
// no two neighbours at the same point, finite coordinates) to `triangles`,
// each as three positions in `points` in ascending order: the polygon's own
// order, so each faces the way the polygon does.
//
// Returns false, with `triangles` as it was, when the polygon is not simple:
// it crosses or touches itself, or doubles back along an edge. The triangles
// are checked before they are handed back (each turns anticlockwise or has no
// area, and together they have the polygon's area), so a polygon that rounding
// makes look simple to one step and not to another is refused rather than cut
// wrongly. Time O(n log n), memory O(n).
bool sweepTriangulate(const std::vector<PlanePoint>& points, std::vector<LocalTriangle>& triangles);
