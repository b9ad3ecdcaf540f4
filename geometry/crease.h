// The step that keeps sharp edges sharp in the viewer.
//
// The viewer shades each corner with the sum of the normals of the faces
// that name the same vertex (in the same corner slot), whatever the angle
// between them: where the faces on two sides of a sharp edge share their
// vertices, both sides are shaded as one curved surface, and a flat side of
// a box shows a gradient instead of one grey. Faces that stop sharing the
// vertices of such an edge never mix their normals.
#pragma once

#include <cstddef>

#include "mesh/polygon_mesh.h"

// The angle between two faces' normals, in degrees, beyond which their edge
// counts as sharp when none is given: below it lie the steps between the
// faces of curved surfaces as meshes model them, above it the edges of boxes
// and machined parts.
inline constexpr double defaultCreaseDegrees = 50;

// Where two faces that share an edge meet at an angle between their normals
// greater than `creaseDegrees`, the faces on either side stop sharing that
// edge's vertices: each vertex gets one copy (at the same position) for each
// group of its faces that smooth edges still connect, the first group in
// face order keeping the vertex itself. A vertex with no sharp edge, and so
// a mesh with none, keeps its number; faces keep their order and winding.
// Faces without area take no part (they shade nothing) and keep their
// vertices. Of an edge that more than two faces share, all pairs are
// compared when there are up to eight, else each with the next. 180 or more
// keeps every shared vertex. The faces must face consistently (orientOutward)
// for the angles to mean anything. Returns the number of vertices added.
std::size_t splitSharpEdges(TriangleMesh& mesh, double creaseDegrees);
