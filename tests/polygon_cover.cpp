#include "polygon_cover.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

namespace {

// Written out here rather than taken from geometry/plane_polygon.h, so that
// the check does not lean on the code it checks.
double turn(PlanePoint a, PlanePoint b, PlanePoint c) { return (b.u - a.u) * (c.v - a.v) - (b.v - a.v) * (c.u - a.u); }

::testing::AssertionResult countAndCorners(const std::vector<PlanePoint>& polygon,
                                           const std::vector<Triangle>& triangles) {
    if (triangles.size() + 2 != polygon.size())
        return ::testing::AssertionFailure()
               << triangles.size() << " triangles for " << polygon.size() << " corners, expected n - 2";
    const auto n = static_cast<std::int32_t>(polygon.size());
    for (const Triangle& t : triangles)
        for (const std::int32_t c : t)
            if (c < 0 || c >= n)
                return ::testing::AssertionFailure() << "corner " << c << " is not one of the polygon's " << n;
    return ::testing::AssertionSuccess();
}

// Directed sides (from, to), sorted, so that a side and its twin are found by
// binary search.
::testing::AssertionResult sidesPairUp(const std::vector<PlanePoint>& polygon, const std::vector<Triangle>& triangles) {
    const auto n = static_cast<std::int32_t>(polygon.size());
    std::vector<std::pair<std::int32_t, std::int32_t>> sides;
    sides.reserve(3 * triangles.size());
    for (const Triangle& t : triangles)
        for (int k = 0; k < 3; ++k) sides.emplace_back(t[k], t[(k + 1) % 3]);
    std::sort(sides.begin(), sides.end());
    auto count = [&](std::int32_t from, std::int32_t to) {
        const auto range = std::equal_range(sides.begin(), sides.end(), std::pair{from, to});
        return range.second - range.first;
    };
    for (const auto& [from, to] : sides) {
        const bool edge = to == (from + 1) % n;
        if (count(from, to) != 1)
            return ::testing::AssertionFailure() << "side " << from << " " << to << " is in more than one triangle";
        if (count(to, from) != (edge ? 0 : 1))
            return ::testing::AssertionFailure()
                   << (edge ? "edge " : "side ") << from << " " << to
                   << (edge ? " is also crossed the other way" : " is not shared by exactly two triangles");
    }
    for (std::int32_t i = 0; i < n; ++i)
        if (count(i, (i + 1) % n) != 1) return ::testing::AssertionFailure() << "edge " << i << " is in no triangle";
    return ::testing::AssertionSuccess();
}

bool insidePolygon(PlanePoint p, const std::vector<PlanePoint>& polygon) {
    bool inside = false;
    for (std::size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++) {
        const PlanePoint a = polygon[i], b = polygon[j];
        if ((a.v > p.v) != (b.v > p.v) && p.u < (b.u - a.u) * (p.v - a.v) / (b.v - a.v) + a.u) inside = !inside;
    }
    return inside;
}

bool strictlyInside(PlanePoint p, PlanePoint a, PlanePoint b, PlanePoint c) {
    const double s = turn(a, b, c) > 0 ? 1 : -1;
    return s * turn(a, b, p) > 0 && s * turn(b, c, p) > 0 && s * turn(c, a, p) > 0;
}

}  // namespace

std::vector<Triangle> asTriangles(const std::vector<LocalTriangle>& triangles) {
    std::vector<Triangle> wide;
    wide.reserve(triangles.size());
    for (const LocalTriangle& t : triangles)
        wide.push_back(
            {static_cast<std::int32_t>(t[0]), static_cast<std::int32_t>(t[1]), static_cast<std::int32_t>(t[2])});
    return wide;
}

double signedArea(const std::vector<PlanePoint>& polygon) {
    double twice = 0;
    for (std::size_t i = 0; i < polygon.size(); ++i) {
        const PlanePoint a = polygon[i], b = polygon[(i + 1) % polygon.size()];
        twice += a.u * b.v - b.u * a.v;
    }
    return twice / 2;
}

::testing::AssertionResult coversExactly(const std::vector<PlanePoint>& polygon,
                                         const std::vector<Triangle>& triangles) {
    if (auto counted = countAndCorners(polygon, triangles); !counted) return counted;
    const double area = signedArea(polygon), sign = area > 0 ? 1 : -1;
    double areas = 0, scale = 0;
    for (const Triangle& t : triangles) {
        const double twice = turn(polygon[t[0]], polygon[t[1]], polygon[t[2]]);
        if (sign * twice < 0)
            return ::testing::AssertionFailure()
                   << "triangle " << t[0] << " " << t[1] << " " << t[2] << " faces against the polygon";
        areas += std::fabs(twice) / 2;
        scale += std::fabs(twice);
    }
    for (std::size_t i = 0; i < polygon.size(); ++i) {
        const PlanePoint a = polygon[i], b = polygon[(i + 1) % polygon.size()];
        scale += std::fabs(a.u * b.v) + std::fabs(b.u * a.v);
    }
    // Both sums round: they may part by a billionth of their terms' size.
    if (std::fabs(areas - std::fabs(area)) > 1e-9 * scale)
        return ::testing::AssertionFailure()
               << "the triangles' areas add up to " << areas << ", the polygon's is " << std::fabs(area);
    return sidesPairUp(polygon, triangles);
}

::testing::AssertionResult pairsUp(const std::vector<PlanePoint>& polygon, const std::vector<Triangle>& triangles) {
    if (auto counted = countAndCorners(polygon, triangles); !counted) return counted;
    return sidesPairUp(polygon, triangles);
}

::testing::AssertionResult holdsEachPointOnce(const std::vector<PlanePoint>& polygon,
                                              const std::vector<Triangle>& triangles) {
    if (auto counted = countAndCorners(polygon, triangles); !counted) return counted;
    double low = polygon[0].u, high = polygon[0].u;
    for (const PlanePoint& p : polygon) low = std::min({low, p.u, p.v}), high = std::max({high, p.u, p.v});
    const int steps = 97;
    for (int i = 0; i < steps; ++i)
        for (int j = 0; j < steps; ++j) {
            const PlanePoint p = {low - 1 + (high - low + 2) * (i + 0.5 / std::sqrt(2.0)) / steps,
                                  low - 1 + (high - low + 2) * (j + 0.5 / std::sqrt(3.0)) / steps};
            int holders = 0;
            for (const Triangle& t : triangles)
                holders += strictlyInside(p, polygon[t[0]], polygon[t[1]], polygon[t[2]]) ? 1 : 0;
            if (holders != (insidePolygon(p, polygon) ? 1 : 0))
                return ::testing::AssertionFailure()
                       << holders << " triangles hold (" << p.u << ", " << p.v << "), "
                       << (insidePolygon(p, polygon) ? "inside" : "outside") << " the polygon";
        }
    return ::testing::AssertionSuccess();
}
