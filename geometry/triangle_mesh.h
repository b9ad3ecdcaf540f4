// The triangle mesh the viewer gets: made from the polygons, and cut down to
// the vertices its triangles use.
#pragma once

#include <string>

#include "mesh/polygon_mesh.h"

// Triangles from `polygons` (see triangulateMesh), in face order, with the
// polygons' vertices taken over as they are; `polygons` is left empty. False,
// with one line in `error` (no path, no line break), when a polygon is
// refused, when no face has three corners, or when the triangles do not fit
// the viewer's 32-bit counts.
bool triangulateFaces(PolygonMesh&& polygons, TriangleMesh& mesh, std::string& error);

// Drops the vertices no triangle names: they are never drawn, would widen the
// frame for nothing, and the viewer's file stays as small as what it shows.
// Vertices keep their order; triangles are renumbered to match.
void keepUsedVertices(TriangleMesh& mesh);
