#include "fit/triangulate.h"

#include <cmath>

namespace {

struct Point {
    double u, v;
};

double cross(Point a, Point b, Point c) { return (b.u - a.u) * (c.v - a.v) - (b.v - a.v) * (c.u - a.u); }

bool samePoint(Point a, Point b) { return a.u == b.u && a.v == b.v; }

// Inside the triangle abc (anticlockwise) or on its border.
bool inTriangle(Point p, Point a, Point b, Point c) {
    return cross(a, b, p) >= 0 && cross(b, c, p) >= 0 && cross(c, a, p) >= 0;
}

// The polygon's corners in its best-fit plane, seen from the side its Newell
// normal points to, so that the polygon runs anticlockwise. False when the
// normal is zero: the polygon has no area.
bool projectToPlane(const std::vector<Vertex>& vertices, std::span<const std::int32_t> corners,
                    std::vector<Point>& points) {
    // Relative to the first corner, so that far-off polygons keep their digits.
    const Vertex& o = vertices[static_cast<std::size_t>(corners[0])];
    double n[3] = {0, 0, 0};
    const std::size_t count = corners.size();
    for (std::size_t i = 0; i < count; ++i) {
        const Vertex& p = vertices[static_cast<std::size_t>(corners[i])];
        const Vertex& q = vertices[static_cast<std::size_t>(corners[(i + 1) % count])];
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
        const Vertex& p = vertices[static_cast<std::size_t>(corners[i])];
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

// Ear clipping: a corner whose turn is anticlockwise and whose triangle with
// its two neighbours holds no other remaining corner is cut off; then the
// next. A corner with a neighbour's position is never in the way.
void clipEars(const std::vector<Point>& points, std::span<const std::int32_t> corners,
              std::vector<Triangle>& triangles) {
    const std::size_t n = points.size();
    std::vector<std::size_t> prev(n), next(n);
    for (std::size_t i = 0; i < n; ++i) {
        prev[i] = (i + n - 1) % n;
        next[i] = (i + 1) % n;
    }
    auto isEar = [&](std::size_t b) {
        const std::size_t a = prev[b], c = next[b];
        if (cross(points[a], points[b], points[c]) <= 0) return false;
        for (std::size_t p = next[c]; p != a; p = next[p]) {
            if (samePoint(points[p], points[a]) || samePoint(points[p], points[b]) || samePoint(points[p], points[c]))
                continue;
            if (inTriangle(points[p], points[a], points[b], points[c])) return false;
        }
        return true;
    };
    auto cut = [&](std::size_t b) {
        triangles.push_back({corners[prev[b]], corners[b], corners[next[b]]});
        next[prev[b]] = next[b];
        prev[next[b]] = prev[b];
        return next[b];
    };
    std::size_t left = n, b = 1, tried = 0;  // n >= 4
    while (left > 3) {
        if (isEar(b)) {
            b = cut(b);
            --left;
            tried = 0;
            continue;
        }
        b = next[b];
        if (++tried < left) continue;
        // A whole round without an ear: the polygon touches or crosses
        // itself, or numbers round against it. Cut the first corner that
        // turns the right way, else the one at hand, so that it still ends.
        std::size_t pick = b;
        for (std::size_t i = 0, p = b; i < left; ++i, p = next[p])
            if (cross(points[prev[p]], points[p], points[next[p]]) > 0) {
                pick = p;
                break;
            }
        b = cut(pick);
        --left;
        tried = 0;
    }
    triangles.push_back({corners[prev[b]], corners[b], corners[next[b]]});
}

}  // namespace

void triangulatePolygon(const std::vector<Vertex>& vertices, std::span<const std::int32_t> corners,
                        std::vector<Triangle>& triangles) {
    if (corners.size() == 3) {
        triangles.push_back({corners[0], corners[1], corners[2]});
        return;
    }
    std::vector<Point> points;
    if (!projectToPlane(vertices, corners, points) || isConvex(points)) {
        fan(corners, triangles);
        return;
    }
    clipEars(points, corners, triangles);
}

std::size_t triangulateMesh(const PolygonMesh& mesh, std::vector<Triangle>& triangles) {
    std::size_t dropped = 0;
    triangles.reserve(triangles.size() + mesh.corners.size() / 3);
    for (std::size_t f = 0; f < mesh.faceCount(); ++f) {
        const auto first = static_cast<std::size_t>(mesh.faceStart[f]);
        const auto last = static_cast<std::size_t>(mesh.faceStart[f + 1]);
        if (last - first < 3) {
            ++dropped;
            continue;
        }
        triangulatePolygon(mesh.vertices, std::span(mesh.corners).subspan(first, last - first), triangles);
    }
    return dropped;
}
