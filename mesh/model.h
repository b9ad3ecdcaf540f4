// The loaded mesh: a vertex table and a face table, built once from an OFF
// file and only read afterwards.
//
// A Face carries its own copies of its corner positions and one shading
// normal per corner, so drawing walks the face table alone and never goes
// back to the vertex table.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>

struct Vertex {
    double x, y, z;  // contiguous, so a Vertex can be handed to OpenGL as double[3]
};

struct Face {
    Vertex cornerPosition[3];     // copies of vertices[vertexIndex[k]]
    std::int32_t vertexIndex[3];  // zero-based, as read
    double faceNormal[3];         // unit normal, or exactly zero for a degenerate triangle
    double cornerNormal[3][3];    // shading normal of corners 0, 1, 2
};

// Tables are plain malloc'd arrays of trivial records: the reader writes every
// field, so nothing is zeroed twice.
struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <class T>
using Table = std::unique_ptr<T[], FreeDeleter>;

struct Model {
    std::int32_t vertexCount = 0;
    std::int32_t faceCount = 0;
    Table<Vertex> vertices;  // vertexCount records, file order
    Table<Face> faces;       // faceCount records, file order

    Model() = default;  // empty mesh; buildModel fills one

    // Loads the OFF file at `path`, with face and corner normals. Does not
    // return on failure: an unopenable file prints
    // "Model Constructor: Couldn't open <path>" and a malformed one
    // "Model Constructor: <path>:<line>: <record>: expected ..., found ..."
    // on standard error, and the process exits with status -1.
    explicit Model(const char* path);
};

// The process-wide mesh, created once by initScene and read by display.
extern std::optional<Model> theModel;
