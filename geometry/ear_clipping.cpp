// Checking each candidate ear against every corner left makes ear clipping
// take n^2 steps at best; filing only the corners that can block an ear
// (BlockerGrid) brings most polygons down to about n. What stays slow is a
// polygon that crosses itself, where whole rounds can find no ear: the
// corner limit in the header is for those.
#include "geometry/ear_clipping.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

using Point = PlanePoint;

// Inside the triangle abc (anticlockwise) or on its border.
bool inTriangle(Point p, Point a, Point b, Point c) {
    return cross(a, b, p) >= 0 && cross(b, c, p) >= 0 && cross(c, a, p) >= 0;
}

// Which of `count` cells of width `size` holds `offset`: the first or the last
// for anything beyond them (NaN included), so that only a number in range is
// ever converted to an int.
int cellOf(double offset, double size, int count) {
    const double k = offset / size;
    if (!(k >= 1)) return 0;
    if (!(k < count - 1)) return count - 1;
    return static_cast<int>(k);
}

// The corners that can stand in an ear's way, filed by a grid over the
// polygon's box so that an ear is checked only against those near it. In a
// simple polygon, a triangle of a corner and its neighbours that holds some
// corner holds one that does not turn anticlockwise; and cutting ears only
// ever makes the corners left turn further anticlockwise. So the corners
// that turn clockwise or not at all at the start are all that need filing,
// and a polygon of n corners is cut in about n steps rather than n^2.
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
void cutEars(const std::vector<Point>& points, std::vector<LocalTriangle>& triangles) {
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
    auto emit = [&](std::size_t b) {
        triangles.push_back(
            {static_cast<std::uint32_t>(prev[b]), static_cast<std::uint32_t>(b), static_cast<std::uint32_t>(next[b])});
    };
    auto cut = [&](std::size_t b) {
        emit(b);
        next[prev[b]] = next[b];
        prev[next[b]] = prev[b];
        cutOff[b] = true;
        return next[b];
    };
    std::size_t left = n, b = 1, tried = 0;  // n >= 3
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
    emit(b);
}

}  // namespace

bool clipEars(const std::vector<PlanePoint>& points, std::vector<LocalTriangle>& triangles) {
    if (points.size() < 3 || points.size() > maxClippedCorners) return false;
    triangles.reserve(triangles.size() + points.size() - 2);
    cutEars(points, triangles);
    return true;
}
