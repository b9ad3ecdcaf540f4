// fitting: a mesh file in any format the companions read made into the
// triangle mesh the viewer shows whole, large, lit and turning. The one
// pipeline behind tarvexgl-fit's output and tarvexgl-shot's thumbnails, on
// top of formats (reading) and geometry (every step after it).
#pragma once

#include <optional>
#include <string>

#include "geometry/crease.h"
#include "mesh/polygon_mesh.h"

struct FitSettings {
    std::optional<UpAxis> up;  // none: the file format's own
    double creaseDegrees = defaultCreaseDegrees;
};

struct FittedMesh {
    TriangleMesh mesh;
    // What the user may want to mend in the file itself, as a line to tell
    // ("<path>: turned 1 of 1 closed parts outward; merged 6 back-to-back
    // faces"), or empty when the faces were left as the file has them.
    std::string told;
};

// Reads the mesh at `path` and fits it: faces turned out and merged where
// listed twice, polygons cut into triangles, vertices split along sharp
// edges, the mesh stood up, trimmed to the vertices its faces use, and
// framed for the viewer's window. On failure returns false with one line in
// `error` that starts with the path (running out of memory included).
bool fitMeshFile(const std::string& path, const FitSettings& settings, FittedMesh& fitted, std::string& error);
