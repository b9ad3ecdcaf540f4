// Polygons into triangles that cover exactly them.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "geometry/ear_clipping.h"  // maxClippedCorners
#include "mesh/polygon_mesh.h"

// Appends the n - 2 triangles of the polygon whose corners are `corners`
// (n >= 3 indices into `vertices`, whose coordinates must be finite) to
// `triangles`. A triangle is appended as it is, corner order included. A
// larger polygon is cut in the plane that fits it best (its Newell normal):
// a convex one into a fan; any other by a sweep (geometry/sweep_triangulate.h), so
// that non-convex polygons are covered exactly, without overlap and without
// leaving the polygon, in O(n log n). Each triangle lists its corners in the
// polygon's own order, so it faces the way the polygon does. A corner at the
// same point as the one before it gets a triangle without area. A polygon
// without area (all corners on one line, or on one point) becomes a fan of
// triangles without area.
//
// A polygon that crosses or touches itself in a way the sweep cannot take is
// cut by ear clipping instead (geometry/ear_clipping.h), which still gives
// n - 2 triangles (a polygon that crosses itself has no inside to cover) but
// can take about n^3 steps: such a polygon of more than maxClippedCorners
// corners is refused (false, nothing appended) rather than cut for minutes.
bool triangulatePolygon(const std::vector<Vertex>& vertices, std::span<const std::int32_t> corners,
                        std::vector<Triangle>& triangles);

// Every face of `mesh` in order, through triangulatePolygon. Faces of fewer
// than three corners (points and edges, which some files list as faces) have
// no surface to show and are dropped. Returns the number of the first face
// triangulatePolygon refuses, or -1 when none.
std::int64_t triangulateMesh(const PolygonMesh& mesh, std::vector<Triangle>& triangles);
