#include "geometry/triangulate.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "geometry/safe_range.h"
#include "geometry/sweep_triangulate.h"

namespace {

using Point = PlanePoint;

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

// The corners that can stand in an ear's way, filed by a grid over the
// polygon's box so that an ear is checked only against those near it. In a
// simple polygon, a triangle of a corner and its neighbours that holds some
// corner holds one that does not turn anticlockwise; and cutting ears only
// ever makes the corners left turn further anticlockwise. So the corners
// that turn clockwise or not at all at the start are all that need filing,
// and a polygon of n corners is cut in about n steps rather than n^2.
// Which of `count` cells of width `size` holds `offset`: the first or the last
// for anything beyond them (NaN included), so that only a number in range is
// ever converted to an int.
int cellOf(double offset, double size, int count) {
    const double k = offset / size;
    if (!(k >= 1)) return 0;
    if (!(k < count - 1)) return count - 1;
    return static_cast<int>(k);
}

struct BlockerGrid {
    double u0 = 0, v0 = 0, cellU = 1, cellV = 1;
    int columns = 1, rows = 1;
    std::vector<std::uint32_t> start;  // cell k's corners are items[start[k] .. start[k + 1])
    std::vector<std::uint32_t> items;

    int column(double u) const { return cellOf(u - u0, cellU, columns); }
    int row(double v) const { return cellOf(v - v0, cellV, rows); }
    std::size_t cell(Point p) const {
        return static_cast<std::size_t>(row(p.v)) * static_cast<std::size_t>(columns) +
               static_cast<std::size_t>(column(p.u));
    }
};

BlockerGrid fileBlockers(const std::vector<Point>& points) {
    const std::size_t n = points.size();
    BlockerGrid grid;
    std::vector<std::uint32_t> blockers;
    double u1 = points[0].u, v1 = points[0].v;
    grid.u0 = u1, grid.v0 = v1;
    for (std::size_t i = 0; i < n; ++i) {
        if (cross(points[(i + n - 1) % n], points[i], points[(i + 1) % n]) <= 0)
            blockers.push_back(static_cast<std::uint32_t>(i));
        grid.u0 = std::min(grid.u0, points[i].u), u1 = std::max(u1, points[i].u);
        grid.v0 = std::min(grid.v0, points[i].v), v1 = std::max(v1, points[i].v);
    }
    // About one blocker a cell, cells about as tall as wide: a long, thin
    // polygon gets many columns and few rows.
    const double cells = std::max<double>(1, static_cast<double>(blockers.size()));
    const double width = u1 - grid.u0, height = v1 - grid.v0;
    const double columns = width > 0 && height > 0 ? std::sqrt(cells * width / height) : width > 0 ? cells : 1;
    // fmax and fmin take a NaN to the bound, std::clamp would keep it.
    grid.columns = static_cast<int>(std::fmin(std::fmax(std::round(columns), 1.0), cells));
    grid.rows = static_cast<int>(std::fmin(std::fmax(std::round(cells / grid.columns), 1.0), cells));
    grid.cellU = width > 0 ? width / grid.columns : 1;
    grid.cellV = height > 0 ? height / grid.rows : 1;
    grid.start.assign(static_cast<std::size_t>(grid.columns) * grid.rows + 1, 0);
    for (std::uint32_t i : blockers) ++grid.start[grid.cell(points[i]) + 1];
    for (std::size_t k = 1; k < grid.start.size(); ++k) grid.start[k] += grid.start[k - 1];
    grid.items.resize(blockers.size());
    std::vector<std::uint32_t> fill(grid.start.begin(), grid.start.end() - 1);
    for (std::uint32_t i : blockers) grid.items[fill[grid.cell(points[i])]++] = i;
    return grid;
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
    std::vector<bool> cutOff(n, false);
    const BlockerGrid grid = fileBlockers(points);
    auto isEar = [&](std::size_t b) {
        const std::size_t a = prev[b], c = next[b];
        const Point pa = points[a], pb = points[b], pc = points[c];
        if (cross(pa, pb, pc) <= 0) return false;
        const int column0 = grid.column(std::min({pa.u, pb.u, pc.u})),
                  column1 = grid.column(std::max({pa.u, pb.u, pc.u}));
        const int row0 = grid.row(std::min({pa.v, pb.v, pc.v})), row1 = grid.row(std::max({pa.v, pb.v, pc.v}));
        for (int row = row0; row <= row1; ++row)
            for (int column = column0; column <= column1; ++column) {
                const std::size_t k = static_cast<std::size_t>(row) * static_cast<std::size_t>(grid.columns) +
                                      static_cast<std::size_t>(column);
                for (std::uint32_t i = grid.start[k]; i < grid.start[k + 1]; ++i) {
                    const std::size_t p = grid.items[i];
                    if (cutOff[p] || p == a || p == b || p == c) continue;
                    if (samePoint(points[p], pa) || samePoint(points[p], pb) || samePoint(points[p], pc)) continue;
                    if (inTriangle(points[p], pa, pb, pc)) return false;
                }
            }
        return true;
    };
    auto cut = [&](std::size_t b) {
        triangles.push_back({corners[prev[b]], corners[b], corners[next[b]]});
        next[prev[b]] = next[b];
        prev[next[b]] = prev[b];
        cutOff[b] = true;
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
    if (corners.size() > maxClippedCorners) return false;
    clipEars(points, corners, triangles);
    return true;
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
