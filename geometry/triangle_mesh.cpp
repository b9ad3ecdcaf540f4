#include "geometry/triangle_mesh.h"

#include <cstdint>
#include <vector>

#include "geometry/triangulate.h"

bool triangulateFaces(PolygonMesh&& polygons, TriangleMesh& mesh, std::string& error) {
    mesh = TriangleMesh{};
    const std::int64_t refused = triangulateMesh(polygons, mesh.triangles);
    if (refused >= 0) {
        const auto f = static_cast<std::size_t>(refused);
        error = "face " + std::to_string(refused) + " of " + std::to_string(polygons.faceCount()) +
                ": expected a polygon that does not cross itself, or one of at most " +
                std::to_string(maxClippedCorners) + " corners, found one of " +
                std::to_string(polygons.faceStart[f + 1] - polygons.faceStart[f]) +
                " corners that crosses or touches itself";
        return false;
    }
    if (mesh.triangles.empty()) {
        error = "no face with three or more corners: expected a mesh with a surface, found " +
                std::to_string(polygons.faceCount()) + " faces of fewer corners";
        return false;
    }
    if (mesh.triangles.size() > viewerCountLimit) {
        error = std::to_string(mesh.triangles.size()) +
                " triangles: expected at most 2147483647, the most the viewer counts";
        return false;
    }
    mesh.vertices = std::move(polygons.vertices);
    polygons = PolygonMesh{};
    return true;
}

void keepUsedVertices(TriangleMesh& mesh) {
    // New numbers for the vertices some triangle names, in file order.
    std::vector<std::int32_t> renumber(mesh.vertices.size(), -1);
    for (const Triangle& t : mesh.triangles)
        for (std::int32_t v : t) renumber[static_cast<std::size_t>(v)] = 0;
    std::size_t next = 0;
    for (std::size_t v = 0; v < renumber.size(); ++v)
        if (renumber[v] == 0) {
            renumber[v] = static_cast<std::int32_t>(next);
            mesh.vertices[next++] = mesh.vertices[v];  // next <= v: moves only ever go down
        }
    mesh.vertices.resize(next);
    for (Triangle& t : mesh.triangles)
        for (std::int32_t& v : t) v = renumber[static_cast<std::size_t>(v)];
}
