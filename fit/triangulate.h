// Polygons into triangles that cover exactly them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "fit/polygon_mesh.h"

// Appends the n - 2 triangles of the polygon whose corners are `corners`
// (n >= 3 indices into `vertices`) to `triangles`. A triangle is appended
// as it is, corner order included. A larger polygon is cut by ear clipping
// in the plane that fits it best (its Newell normal), so non-convex polygons
// are covered exactly, without overlap and without leaving the polygon; each
// triangle lists its corners in the polygon's own order, so it faces the way
// the polygon does. A polygon without area (all corners on one line, or on
// one point) becomes a fan of triangles without area. A polygon that crosses
// itself has no inside to cover: it still gives n - 2 triangles.
//
// Returns false, appending nothing, for a polygon that is not convex and has
// more than maxClippedCorners corners: ear clipping takes about n steps on
// the polygons found in files, but some shapes (a comb of thousands of teeth)
// take about n^2, seconds at this size, which a file must not be able to
// multiply without bound.
bool triangulatePolygon(const std::vector<Vertex>& vertices, std::span<const std::int32_t> corners,
                        std::vector<Triangle>& triangles);

inline constexpr std::size_t maxClippedCorners = 100000;

// Every face of `mesh` in order, through triangulatePolygon. Faces of fewer
// than three corners (points and edges, which some files list as faces) have
// no surface to show and are dropped. Returns the number of the first face
// triangulatePolygon refuses, or -1 when none.
std::int64_t triangulateMesh(const PolygonMesh& mesh, std::vector<Triangle>& triangles);
