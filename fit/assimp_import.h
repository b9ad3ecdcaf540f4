// Every other mesh format, through the Open Asset Import Library (assimp):
// OBJ, PLY and STL, and whatever else it reads.
#pragma once

#include <string>

#include "fit/polygon_mesh.h"

// Reads the file at `path` into `mesh`: the positions of every mesh in the
// scene, moved by the transforms of the nodes that hold them, and its faces
// as polygons (not triangulated here, so that every format goes through the
// same triangulation). Vertices at the same position within one mesh are
// joined: formats such as STL repeat a corner for every face that has it,
// and the viewer can only shade smoothly across faces that share a vertex.
// Faces of one or two corners (points and lines) come along and are dropped
// with the others later. On failure returns false with assimp's reason, on
// one line, in `error`. Coordinates are finite when it returns true.
bool importWithAssimp(const std::string& path, PolygonMesh& mesh, std::string& error);
