// formats: the bytes of a mesh file into polygons, and triangles back into
// the viewer's OFF; every refusal one line that names the file.
//
// This file: the first step of fitting: the mesh file, whatever its format,
// read into polygons.
#pragma once

#include <string>

#include "mesh/polygon_mesh.h"

// Reads the mesh at `path` into `mesh`, and gives the axis its format takes
// as up in `formatUp`: z for OFF and STL (the OFF convention, and the build
// plates of 3D printing), y for everything else (the convention of OBJ, PLY,
// glTF and most modelling programs).
//
// OFF (by its .off name, any case, or by its keyword) goes through our own
// reader (formats/polygon_off.h); STL, PLY and OBJ, known by their names' endings
// (any case) or a PLY by its first line, through readers of our own too
// (formats/stl_reader.h, formats/ply_reader.h, formats/obj_reader.h); anything else
// through the Open Asset Import Library in a child process
// (formats/isolated_import.h). A pipe or device (/dev/stdin) is taken as OFF, the
// one format read as a stream.
//
// On failure returns false with one line in `error` that starts with the path:
//   <path>:<line>: <record>: expected ..., found '...'   (OFF, STL, PLY, OBJ)
//   <path>: the importer failed (...)                      (other formats)
//   <path>: cannot open: <reason>                          (any)
bool readMeshFile(const std::string& path, PolygonMesh& mesh, UpAxis& formatUp, std::string& error);
