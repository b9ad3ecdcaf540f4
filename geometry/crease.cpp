#include "geometry/crease.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

#include "geometry/edge_runs.h"
#include "geometry/safe_range.h"

namespace {

constexpr double pi = 3.14159265358979323846;

struct Direction {
    float x = 0, y = 0, z = 0;  // a unit normal, or zero for a face without area
    bool none() const { return x == 0 && y == 0 && z == 0; }
};

// Unit normals, worked out on coordinates scaled by a power of two that
// brings the largest to about 1 before they are subtracted, so that no mesh
// overflows; floats are plenty to compare angles.
std::vector<Direction> unitNormals(const TriangleMesh& mesh) {
    const double s = unitScale(mesh.vertices);
    std::vector<Direction> normals(mesh.triangles.size());
    for (std::size_t f = 0; f < mesh.triangles.size(); ++f) {
        const Vertex& a = mesh.vertices[static_cast<std::size_t>(mesh.triangles[f][0])];
        const Vertex& b = mesh.vertices[static_cast<std::size_t>(mesh.triangles[f][1])];
        const Vertex& d = mesh.vertices[static_cast<std::size_t>(mesh.triangles[f][2])];
        const double ux = b.x * s - a.x * s, uy = b.y * s - a.y * s, uz = b.z * s - a.z * s;
        const double vx = d.x * s - a.x * s, vy = d.y * s - a.y * s, vz = d.z * s - a.z * s;
        const double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
        const double length = std::sqrt(nx * nx + ny * ny + nz * nz);
        if (length > 0 && std::isfinite(length))
            normals[f] = {static_cast<float>(nx / length), static_cast<float>(ny / length),
                          static_cast<float>(nz / length)};
    }
    return normals;
}

// Corners are numbered 3 * face + slot.
struct CornerGroups {
    std::vector<std::uint32_t> parent;

    explicit CornerGroups(std::size_t count) : parent(count) {
        for (std::size_t c = 0; c < count; ++c) parent[c] = static_cast<std::uint32_t>(c);
    }
    std::uint32_t rootOf(std::uint32_t c) {
        while (parent[c] != c) c = parent[c] = parent[parent[c]];
        return c;
    }
    void join(std::uint32_t a, std::uint32_t b) {
        a = rootOf(a), b = rootOf(b);
        if (a != b) parent[std::max(a, b)] = std::min(a, b);
    }
};

// A side of a face, as filed for visitEdgeRuns: the corner it starts at
// (3 * face + slot) and whether that is the edge's lower vertex.
std::uint32_t sideTag(std::size_t face, std::uint32_t slot, bool startsLow) {
    return static_cast<std::uint32_t>((3 * face + slot) << 1 | (startsLow ? 1 : 0));
}
std::uint32_t faceOf(std::uint64_t side) { return tagOf(side) / 6; }
std::uint32_t nextCorner(std::uint32_t c) { return c % 3 == 2 ? c - 2 : c + 1; }
std::uint32_t lowCorner(std::uint64_t side) {
    const std::uint32_t start = tagOf(side) >> 1;
    return tagOf(side) & 1 ? start : nextCorner(start);
}
std::uint32_t highCorner(std::uint64_t side) {
    const std::uint32_t start = tagOf(side) >> 1;
    return tagOf(side) & 1 ? nextCorner(start) : start;
}

// The vertices whose faces' normals spread wider than `degrees` from the
// first of them. Two faces that share an edge are both at each of its
// vertices, so an edge sharper than twice that has both ends here.
std::vector<bool> widelySpread(const TriangleMesh& mesh, const std::vector<Direction>& normal, double degrees,
                               bool& any) {
    const double least = std::cos(degrees * pi / 180);
    std::vector<std::uint32_t> first(mesh.vertices.size(), std::numeric_limits<std::uint32_t>::max());
    std::vector<bool> wide(mesh.vertices.size(), false);
    any = false;
    for (std::size_t f = 0; f < mesh.triangles.size(); ++f) {
        const Direction& n = normal[f];
        if (n.none()) continue;
        for (std::int32_t v : mesh.triangles[f]) {
            std::uint32_t& seen = first[static_cast<std::size_t>(v)];
            if (seen == std::numeric_limits<std::uint32_t>::max()) {
                seen = static_cast<std::uint32_t>(f);
                continue;
            }
            const Direction& m = normal[seen];
            if (double{m.x} * n.x + double{m.y} * n.y + double{m.z} * n.z < least)
                wide[static_cast<std::size_t>(v)] = any = true;
        }
    }
    return wide;
}

}  // namespace

std::size_t splitSharpEdges(TriangleMesh& mesh, double creaseDegrees) {
    const std::size_t faces = mesh.triangles.size();
    // Corners are numbered, and tagged, in 32 bits: up to 715 million triangles.
    if (!(creaseDegrees < 180) || faces > std::numeric_limits<std::int32_t>::max() / 3) return 0;
    const double smoothest = std::cos(creaseDegrees * pi / 180);  // the least dot product of a smooth edge
    const std::vector<Direction> normal = unitNormals(mesh);
    const auto sharp = [&](std::uint64_t a, std::uint64_t b) {
        const Direction &m = normal[faceOf(a)], &n = normal[faceOf(b)];
        return !m.none() && !n.none() && double{m.x} * n.x + double{m.y} * n.y + double{m.z} * n.z < smoothest;
    };

    // Most meshes of curved surfaces are done here. Otherwise only the edges
    // at vertices whose faces spread widely are looked at (a hundredth of a
    // degree spare for rounding).
    bool anyWide = false;
    const std::vector<bool> wide = widelySpread(mesh, normal, std::max(0.0, creaseDegrees / 2 - 0.01), anyWide);
    if (!anyWide) return 0;
    const std::size_t vertices = mesh.vertices.size();
    const EdgeRuns runs = fileSides(vertices, [&](const auto& emit) {
        for (std::size_t f = 0; f < faces; ++f) {
            const Triangle& t = mesh.triangles[f];
            for (std::uint32_t k = 0; k < 3; ++k) {
                const std::int32_t from = t[k], to = t[k == 2 ? 0 : k + 1];
                if (wide[static_cast<std::size_t>(from)] || wide[static_cast<std::size_t>(to)])
                    emit(from, to, sideTag(f, k, from < to));
            }
        }
    });

    // The vertices on sharp edges.
    std::vector<bool> onSharpEdge(vertices, false);
    bool any = false;
    forEachEdge(runs, [&](std::span<const std::uint64_t> run) {
        forEachPair(run, [&](std::uint64_t a, std::uint64_t b) {
            if (!sharp(a, b)) return;
            const Triangle& t = mesh.triangles[faceOf(a)];
            onSharpEdge[static_cast<std::size_t>(t[lowCorner(a) % 3])] = true;
            onSharpEdge[static_cast<std::size_t>(t[highCorner(a) % 3])] = true;
            any = true;
        });
    });
    if (!any) return 0;

    // Corners joined across smooth edges; each group of a vertex's corners
    // gets a vertex of its own.
    CornerGroups groups(3 * faces);
    forEachEdge(runs, [&](std::span<const std::uint64_t> run) {
        forEachPair(run, [&](std::uint64_t a, std::uint64_t b) {
            if (sharp(a, b) || normal[faceOf(a)].none() || normal[faceOf(b)].none()) return;
            groups.join(lowCorner(a), lowCorner(b));
            groups.join(highCorner(a), highCorner(b));
        });
    });
    std::vector<std::int32_t> vertexOfGroup(3 * faces, -1);
    std::vector<bool> kept(vertices, false);  // whether some group has the vertex itself
    for (std::size_t f = 0; f < faces; ++f) {
        if (normal[f].none()) continue;
        for (std::uint32_t k = 0; k < 3; ++k) {
            std::int32_t& v = mesh.triangles[f][k];
            if (!onSharpEdge[static_cast<std::size_t>(v)]) continue;
            std::int32_t& own = vertexOfGroup[groups.rootOf(static_cast<std::uint32_t>(3 * f + k))];
            if (own < 0) {
                // (A mesh with as many vertices as the viewer counts keeps the rest shared.)
                if (!kept[static_cast<std::size_t>(v)] || mesh.vertices.size() == viewerCountLimit) {
                    kept[static_cast<std::size_t>(v)] = true;
                    own = v;
                } else {
                    own = static_cast<std::int32_t>(mesh.vertices.size());
                    const Vertex copy = mesh.vertices[static_cast<std::size_t>(v)];
                    mesh.vertices.push_back(copy);
                }
            }
            v = own;
        }
    }
    return mesh.vertices.size() - vertices;
}
