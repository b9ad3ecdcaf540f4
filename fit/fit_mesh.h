// The whole of tarvexgl-fit's work on one file: read it, cut its polygons
// into triangles, stand it z-up, keep the vertices the faces use, and frame
// it for the viewer.
#pragma once

#include <optional>
#include <string>

#include "fit/polygon_mesh.h"
#include "fit/up_axis.h"

// OFF (by its .off name, any case, or by its keyword) goes through our own
// reader (fit/off_reader.h); anything else through fit/other_formats.h. A
// pipe or device (/dev/stdin) is taken as OFF, the one format read as a
// stream.
bool isOffFile(const std::string& path);

// z for OFF and STL (the OFF convention, and the build plates of 3D
// printing); y for everything else, the convention of OBJ, PLY, glTF and most
// modelling programs.
UpAxis defaultUpAxis(const std::string& path);

// Reads the mesh at `path` into `mesh` (see isOffFile). On failure returns
// false with one line in `error` that starts with the path:
//   <path>:<line>: <record>: expected ..., found '...'   (OFF, STL, PLY, OBJ)
//   <path>: the importer failed (...)                      (other formats)
//   <path>: cannot open: <reason>                          (any)
bool readMeshFile(const std::string& path, PolygonMesh& mesh, std::string& error);

// Triangles from `mesh`'s polygons, turned so that `up` points up, without
// the vertices no face uses (they are never drawn, and the viewer's file
// stays as small as what it shows), scaled and moved by frameForViewer.
// Vertices keep their file order; triangles keep theirs. False, with the
// reason after "<path>: " in `error`, when no face has three corners or the
// result does not fit the viewer's 32-bit counts.
bool fitPolygons(const PolygonMesh& mesh, UpAxis up, const std::string& path, TriangleMesh& fitted, std::string& error);

// readMeshFile, scaleIntoSafeRange (fit/safe_range.h: a mesh near the ends
// of a double's range is framed like any other), then fitPolygons, with `up`
// or the format's default.
bool fitMeshFile(const std::string& path, std::optional<UpAxis> up, TriangleMesh& fitted, std::string& error);
