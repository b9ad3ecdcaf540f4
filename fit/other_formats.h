// Every format but OFF: which reader takes a file, and the reading.
#pragma once

#include <string>

#include "fit/polygon_mesh.h"

// STL, PLY and OBJ, known by their names' endings (any case) or a PLY by its
// first line, go through readers of our own (fit/stl_reader.h,
// fit/ply_reader.h, fit/obj_reader.h); anything else through the Open Asset
// Import Library in a child process (fit/isolated_import.h). On failure
// returns false with one line in `error` that starts with the path.
bool readOtherFormat(const std::string& path, PolygonMesh& mesh, std::string& error);
