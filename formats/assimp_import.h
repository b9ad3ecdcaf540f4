// The formats of the Open Asset Import Library (assimp) that tarvexgl-fit
// has no reader of its own for (glTF, Collada, FBX, 3DS, ...). This runs
// inside the child process of formats/isolated_import.h, never in tarvexgl-fit
// itself: the library's record on malformed files is long.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "mesh/polygon_mesh.h"

// Reads the file at `path` into `mesh`: the positions of every mesh the
// scene's nodes hold, moved by the nodes' transforms (a mesh that several
// nodes hold comes once for each), and their faces as polygons (triangulated
// later, as every format is), with the corners at one position joined
// (mesh/join_positions.h). Faces of one or two corners (points and lines)
// come along and are dropped with the others later.
//
// The library is asked to check what it built (aiProcess_ValidateDataStructure)
// and nothing else; what it hands back is checked again here before anything
// is taken from it: every pointer, count and index, and every position finite
// once moved. The library opens only regular files, so that a name in the
// file (an OBJ's material library, a glTF's buffer) cannot make it wait on a
// FIFO or read a device; `opened`, when given, is told the name and size of
// each file it opens.
//
// On failure returns false with one line, the reason without the path, in
// `error`.
bool importWithAssimp(const std::string& path, PolygonMesh& mesh, std::string& error,
                      const std::function<void(const char* file, std::uint64_t bytes)>& opened = {});
