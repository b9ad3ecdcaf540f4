// A polygon's cut into triangles judged by what makes a cut right, never by
// which diagonals it took: any cover with the right count, the right turns
// and the polygon's area passes, whichever way it was found. Triangles are
// given as positions in the polygon's corner list.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "geometry/plane_polygon.h"
#include "mesh/polygon_mesh.h"

// The sweep's and ear clipping's triangles, as the checks below take them.
std::vector<Triangle> asTriangles(const std::vector<LocalTriangle>& triangles);

// The polygon's area counted with its sign: positive when it runs
// anticlockwise.
double signedArea(const std::vector<PlanePoint>& polygon);

// n - 2 triangles for n corners, with corners of the polygon only; each turns
// the polygon's way or has no area; their areas add up to the polygon's; and
// their sides pair up: each edge of the polygon is a side of one triangle,
// running the polygon's way, and every other side is a side of two, running
// opposite ways. The turns and the pairing together make the triangles hold
// each point inside the polygon exactly once and none outside it. Takes
// O(n log n), so it serves polygons of any size.
::testing::AssertionResult coversExactly(const std::vector<PlanePoint>& polygon,
                                         const std::vector<Triangle>& triangles);

// For a polygon that crosses itself, which has no inside to cover: n - 2
// triangles with corners of the polygon only, whose sides pair up as above
// (so that their areas counted with their signs add up to the polygon's).
// Their turns are not asked about.
::testing::AssertionResult pairsUp(const std::vector<PlanePoint>& polygon, const std::vector<Triangle>& triangles);

// The same cover seen point by point, a check apart from the one above:
// across a grid over the polygon's box, offset by irrational steps so that
// no point falls on an edge, every point inside the polygon is strictly
// inside exactly one triangle and every point outside it in none. About
// 10^4 n steps: for small polygons.
::testing::AssertionResult holdsEachPointOnce(const std::vector<PlanePoint>& polygon,
                                              const std::vector<Triangle>& triangles);
