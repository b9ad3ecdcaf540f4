// The meshes tarvexgl-fit works on: polygons as read, and the triangles that
// become the viewer's file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "mesh/model.h"

// The viewer counts vertices and triangles in 32 bits: no mesh here may hold
// more of either.
inline constexpr auto viewerCountLimit = static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());

// Faces of any number of corners, packed: face f's corners are
// corners[faceStart[f]] .. corners[faceStart[f + 1] - 1], zero-based indices
// into `vertices`, in the order the file lists them. faceStart always holds
// one more entry than there are faces.
struct PolygonMesh {
    std::vector<Vertex> vertices;
    std::vector<std::int64_t> faceStart{0};
    std::vector<std::int32_t> corners;

    std::size_t faceCount() const { return faceStart.size() - 1; }
};

// Which axis of a mesh points up: its format's convention, or the user's
// word (geometry/up_axis.h turns it onto z).
enum class UpAxis { x, y, z, minusX, minusY, minusZ };

using Triangle = std::array<std::int32_t, 3>;  // corners 0, 1, 2, in winding order

struct TriangleMesh {
    std::vector<Vertex> vertices;
    std::vector<Triangle> triangles;
};
