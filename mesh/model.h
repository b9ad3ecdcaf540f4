// mesh: the ground floor every program stands on: the records (the viewer's
// Model, the companions' polygon and triangle meshes), the viewer's OFF
// reader and the cursor every reader stands on, normals, whole-or-nothing
// file output, and the viewer's camera and window (mesh/view.h). No OpenGL.
//
// This file: the loaded mesh: a vertex table and a face table, built once
// (from an OFF file, or from triangles a companion made) and only read
// afterwards.
//
// A Face carries its own copies of its corner positions and one shading
// normal per corner, so drawing walks the face table alone and never goes
// back to the vertex table.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "mesh/table.h"

struct Vertex {
    double x, y, z;  // contiguous, so a Vertex can be handed to OpenGL as double[3]
};

struct Face {
    Vertex cornerPosition[3];     // copies of vertices[vertexIndex[k]]
    std::int32_t vertexIndex[3];  // zero-based, as read
    double faceNormal[3];         // unit normal, or exactly zero for a degenerate triangle
    double cornerNormal[3][3];    // shading normal of corners 0, 1, 2
};

struct Model {
    std::int32_t vertexCount = 0;
    std::int32_t faceCount = 0;
    Table<Vertex> vertices;  // vertexCount records, file order
    Table<Face> faces;       // faceCount records, file order

    Model() = default;  // the empty mesh; loadModel fills one

    // Loads the OFF file at `path` with loadModel. Does not return on
    // failure: it prints "Model Constructor: <error>" on standard error and
    // the process exits with status -1.
    explicit Model(const char* path);
};

// The load, all of it: opens `path`, reads the OFF text (a regular file in
// one go, a pipe, FIFO or device only as far as its last face record),
// fills both tables and computes face and corner normals. On failure returns
// false with `model` empty and `error` set to one line, no line break:
//   Couldn't open <path>
//   <path>:<line>: <record>: expected <what>, found <what>
//   <path>: not enough memory ...
// Throws nothing: when threads cannot be started it goes on with fewer.
bool loadModel(const char* path, Model& model, std::string& error);

struct TriangleMesh;  // mesh/polygon_mesh.h

// The Model that loadModel gives for the OFF file of `mesh` as
// formats/off_writer.h writes it (its shortest round-trip numbers read back
// as the very same doubles), built without the file: the same face table and
// normals, bit for bit. Every corner must name one of the mesh's vertices,
// and both counts fit 32 bits. When memory runs out returns false with
// `model` empty and `error` set as loadModel sets it, `name` standing for
// the path.
bool modelFromTriangles(const TriangleMesh& mesh, const char* name, Model& model, std::string& error);

// The process-wide mesh, created once by initScene (or by tarvexgl-shot)
// and read by display.
extern std::optional<Model> theModel;
