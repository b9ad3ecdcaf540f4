#include "geometry/triangulate.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "geometry/ear_clipping.h"
#include "geometry/safe_range.h"
#include "geometry/sweep_triangulate.h"

namespace {

using Point = PlanePoint;

// The polygon's corners in its best-fit plane, seen from the side its Newell
// normal points to, so that the polygon runs anticlockwise. False when the
// normal is zero: the polygon has no area.
bool projectToPlane(const std::vector<Vertex>& vertices, std::span<const std::int32_t> corners,
                    std::vector<Point>& points) {
    const std::size_t count = corners.size();
    // Near the ends of a double's range, the products below would overflow or
    // vanish: such a polygon is scaled by a power of two first, which changes
    // no turn and no sign.
    double largest = 0;
    for (const std::int32_t c : corners) {
        const Vertex& p = vertices[static_cast<std::size_t>(c)];
        largest = std::max({largest, std::fabs(p.x), std::fabs(p.y), std::fabs(p.z)});
    }
    const int exponent = safeScaleExponent(largest);
    auto corner = [&](std::size_t i) {
        const Vertex& p = vertices[static_cast<std::size_t>(corners[i])];
        if (exponent == 0) return p;
        return Vertex{std::ldexp(p.x, exponent), std::ldexp(p.y, exponent), std::ldexp(p.z, exponent)};
    };
    // Relative to the first corner, so that far-off polygons keep their digits.
    const Vertex o = corner(0);
    double n[3] = {0, 0, 0};
    for (std::size_t i = 0; i < count; ++i) {
        const Vertex p = corner(i), q = corner((i + 1) % count);
        const double py = p.y - o.y, pz = p.z - o.z, px = p.x - o.x;
        const double qy = q.y - o.y, qz = q.z - o.z, qx = q.x - o.x;
        n[0] += (py - qy) * (pz + qz);
        n[1] += (pz - qz) * (px + qx);
        n[2] += (px - qx) * (py + qy);
    }
    // Drop the axis the normal leans on most; keep the other two in the order
    // that makes the projection anticlockwise.
    int axis = 2;
    if (std::fabs(n[0]) >= std::fabs(n[1]) && std::fabs(n[0]) >= std::fabs(n[2])) axis = 0;
    else if (std::fabs(n[1]) >= std::fabs(n[2]))
        axis = 1;
    if (n[axis] == 0) return false;
    const int first = (axis + 1) % 3, second = (axis + 2) % 3;
    const bool flip = n[axis] < 0;
    points.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const Vertex p = corner(i);
        const double c[3] = {p.x - o.x, p.y - o.y, p.z - o.z};
        points[i] = flip ? Point{c[second], c[first]} : Point{c[first], c[second]};
    }
    return true;
}

bool isConvex(const std::vector<Point>& points) {
    const std::size_t n = points.size();
    for (std::size_t i = 0; i < n; ++i)
        if (cross(points[(i + n - 1) % n], points[i], points[(i + 1) % n]) < 0) return false;
    return true;
}

void fan(std::span<const std::int32_t> corners, std::vector<Triangle>& triangles) {
    for (std::size_t k = 1; k + 1 < corners.size(); ++k) triangles.push_back({corners[0], corners[k], corners[k + 1]});
}

// The sweep, on the polygon without repeated neighbours (a corner at the
// same point as the one before it), which it cannot take. The corners left
// out between two kept ones c and d get triangles without area that close
// the gap: (c, r1, d), (r1, r2, d), ..., so that there are still n - 2 and
// their sides still pair up.
bool cutBySweep(const std::vector<Point>& points, std::span<const std::int32_t> corners,
                std::vector<Triangle>& triangles) {
    const std::size_t n = points.size();
    if (n < 3) return false;
    std::vector<std::uint32_t> kept;
    kept.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
        if (kept.empty() || !samePoint(points[i], points[kept.back()])) kept.push_back(static_cast<std::uint32_t>(i));
    while (kept.size() > 1 && samePoint(points[kept.back()], points[kept.front()])) kept.pop_back();
    if (kept.size() < 3) return false;
    std::vector<Point> distinct(kept.size());
    for (std::size_t k = 0; k < kept.size(); ++k) distinct[k] = points[kept[k]];
    std::vector<LocalTriangle> local;
    local.reserve(kept.size() - 2);
    if (!sweepTriangulate(distinct, local)) return false;
    triangles.reserve(triangles.size() + n - 2);
    for (const LocalTriangle& t : local)
        triangles.push_back({corners[kept[t[0]]], corners[kept[t[1]]], corners[kept[t[2]]]});
    for (std::size_t k = 0; k < kept.size(); ++k) {
        const std::size_t d = kept[(k + 1) % kept.size()];
        for (std::size_t before = kept[k], r = (before + 1) % n; r != d; before = r, r = (r + 1) % n)
            triangles.push_back({corners[before], corners[r], corners[d]});
    }
    return true;
}

// What the sweep refuses: a polygon that touches or crosses itself.
bool cutByClippingEars(const std::vector<Point>& points, std::span<const std::int32_t> corners,
                       std::vector<Triangle>& triangles) {
    std::vector<LocalTriangle> local;
    if (!clipEars(points, local)) return false;
    triangles.reserve(triangles.size() + local.size());
    for (const LocalTriangle& t : local) triangles.push_back({corners[t[0]], corners[t[1]], corners[t[2]]});
    return true;
}

}  // namespace

bool triangulatePolygon(const std::vector<Vertex>& vertices, std::span<const std::int32_t> corners,
                        std::vector<Triangle>& triangles) {
    if (corners.size() == 3) {
        triangles.push_back({corners[0], corners[1], corners[2]});
        return true;
    }
    std::vector<Point> points;
    if (!projectToPlane(vertices, corners, points) || isConvex(points)) {
        fan(corners, triangles);
        return true;
    }
    if (cutBySweep(points, corners, triangles)) return true;
    return cutByClippingEars(points, corners, triangles);
}

std::int64_t triangulateMesh(const PolygonMesh& mesh, std::vector<Triangle>& triangles) {
    triangles.reserve(triangles.size() + mesh.corners.size() / 3);
    for (std::size_t f = 0; f < mesh.faceCount(); ++f) {
        const auto first = static_cast<std::size_t>(mesh.faceStart[f]);
        const auto last = static_cast<std::size_t>(mesh.faceStart[f + 1]);
        if (last - first < 3) continue;
        if (!triangulatePolygon(mesh.vertices, std::span(mesh.corners).subspan(first, last - first), triangles))
            return static_cast<std::int64_t>(f);
    }
    return -1;
}
