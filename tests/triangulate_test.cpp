// Polygons cut into triangles: n - 2 of them, covering the polygon exactly
// (every point inside it in exactly one triangle, every point outside in
// none, areas adding up), each facing the way the polygon faces.
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <utility>
#include <vector>

#include "geometry/triangulate.h"

namespace {

struct Point2 {
    double u, v;
};

double cross(Point2 a, Point2 b, Point2 c) { return (b.u - a.u) * (c.v - a.v) - (b.v - a.v) * (c.u - a.u); }

double signedArea(const std::vector<Point2>& polygon) {
    double twice = 0;
    for (std::size_t i = 0; i < polygon.size(); ++i) {
        const Point2 a = polygon[i], b = polygon[(i + 1) % polygon.size()];
        twice += a.u * b.v - b.u * a.v;
    }
    return twice / 2;
}

bool insidePolygon(Point2 p, const std::vector<Point2>& polygon) {
    bool inside = false;
    for (std::size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++) {
        const Point2 a = polygon[i], b = polygon[j];
        if ((a.v > p.v) != (b.v > p.v) && p.u < (b.u - a.u) * (p.v - a.v) / (b.v - a.v) + a.u) inside = !inside;
    }
    return inside;
}

bool strictlyInside(Point2 p, Point2 a, Point2 b, Point2 c) {
    const double s = cross(a, b, c) > 0 ? 1 : -1;
    return s * cross(a, b, p) > 0 && s * cross(b, c, p) > 0 && s * cross(c, a, p) > 0;
}

// The plane the polygon is drawn in: (u, v) -> origin + u e1 + v e2, with
// e1 x e2 = normal. Tilted and far from the origin, so that nothing relies on
// the polygon lying in a coordinate plane.
struct Plane {
    Vertex origin, e1, e2, normal;
};
const Plane flat = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
const Plane tilted = {{1000, -250, 40},
                      {0.36, 0.48, -0.8},
                      {-0.8, 0.6, 0},
                      {0.48 * 0 - (-0.8) * 0.6, -0.8 * -0.8 - 0.36 * 0, 0.36 * 0.6 - 0.48 * -0.8}};

std::vector<Vertex> embed(const std::vector<Point2>& polygon, const Plane& plane) {
    std::vector<Vertex> points;
    points.reserve(polygon.size());
    for (const Point2& p : polygon)
        points.push_back({plane.origin.x + p.u * plane.e1.x + p.v * plane.e2.x,
                          plane.origin.y + p.u * plane.e1.y + p.v * plane.e2.y,
                          plane.origin.z + p.u * plane.e1.z + p.v * plane.e2.z});
    return points;
}

std::vector<Triangle> cut(const std::vector<Vertex>& points) {
    std::vector<std::int32_t> corners(points.size());
    std::iota(corners.begin(), corners.end(), 0);
    std::vector<Triangle> triangles;
    EXPECT_TRUE(triangulatePolygon(points, corners, triangles));
    return triangles;
}

// Every edge of the polygon is a side of exactly one triangle, running the
// polygon's way, and every other side is shared by exactly two triangles,
// running opposite ways; and every triangle turns the polygon's way (or has
// no area). Together that makes the triangles cover each point inside the
// polygon exactly once and nothing outside it: their boundaries cancel to the
// polygon's own. Takes O(n log n), so it serves polygons of any size.
void expectTriangulation(const std::vector<Point2>& polygon, const std::vector<Triangle>& triangles) {
    const auto n = static_cast<std::int32_t>(polygon.size());
    ASSERT_EQ(triangles.size(), polygon.size() - 2);
    const double polygonSign = signedArea(polygon) > 0 ? 1 : -1;
    // Directed sides as (from, to), sorted, so that a side and its twin are
    // found by binary search.
    std::vector<std::pair<std::int32_t, std::int32_t>> sides;
    sides.reserve(3 * triangles.size());
    for (const Triangle& t : triangles) {
        for (const std::int32_t c : t) ASSERT_TRUE(c >= 0 && c < n);
        EXPECT_GE(polygonSign * cross(polygon[t[0]], polygon[t[1]], polygon[t[2]]), 0)
            << "triangle " << t[0] << " " << t[1] << " " << t[2] << " faces against the polygon";
        for (int k = 0; k < 3; ++k) sides.emplace_back(t[k], t[(k + 1) % 3]);
    }
    std::sort(sides.begin(), sides.end());
    auto count = [&](std::int32_t from, std::int32_t to) {
        const auto range = std::equal_range(sides.begin(), sides.end(), std::pair{from, to});
        return range.second - range.first;
    };
    for (const auto& [from, to] : sides) {
        const bool edge = to == (from + 1) % n;
        ASSERT_EQ(count(from, to), 1) << "side " << from << " " << to << " is in more than one triangle";
        ASSERT_EQ(count(to, from), edge ? 0 : 1)
            << (edge ? "edge " : "side ") << from << " " << to
            << (edge ? " is also crossed the other way" : " is not shared by exactly two triangles");
    }
    for (std::int32_t i = 0; i < n; ++i) ASSERT_EQ(count(i, (i + 1) % n), 1) << "edge " << i << " is in no triangle";
}

// A strip about 1 wide wound `turns` times around the origin, every turn
// nested in the next: out along its outer side, back along its inner one.
std::vector<Point2> spiralStrip(std::size_t corners, double turns) {
    const double pi = 3.14159265358979323846;
    const std::size_t half = corners / 2;
    std::vector<Point2> polygon;
    for (std::size_t i = 0; i < 2 * half; ++i) {
        const std::size_t k = i < half ? i : 2 * half - 1 - i;
        const double t = 2 * pi * turns * static_cast<double>(k) / static_cast<double>(half);
        const double r = 1 + 2 * t + (i < half ? 1 : 0);
        polygon.push_back({r * std::cos(t), r * std::sin(t)});
    }
    return polygon;
}

// `teeth` teeth 1 wide and 10 tall, 1 apart, on a bar: 4 teeth + 2 corners.
std::vector<Point2> comb(int teeth) {
    std::vector<Point2> polygon{{0, 0}, {2.0 * teeth - 1, 0}};
    for (int k = teeth - 1; k >= 0; --k) {
        const double right = 2.0 * k + 1, left = 2.0 * k;
        polygon.insert(polygon.end(), {{right, 10}, {left, 10}});
        if (k > 0) polygon.insert(polygon.end(), {{left, 1}, {left - 1, 1}});
    }
    return polygon;
}

void expectExactCover(const std::vector<Point2>& polygon, const Plane& plane) {
    const std::vector<Triangle> triangles = cut(embed(polygon, plane));
    expectTriangulation(polygon, triangles);
    double areas = 0;
    const double polygonSign = signedArea(polygon) > 0 ? 1 : -1;
    for (const Triangle& t : triangles) {
        const double a = cross(polygon[t[0]], polygon[t[1]], polygon[t[2]]) / 2;
        EXPECT_GE(a * polygonSign, 0) << "triangle " << t[0] << " " << t[1] << " " << t[2]
                                      << " faces against the polygon";
        areas += std::fabs(a);
    }
    EXPECT_NEAR(areas, std::fabs(signedArea(polygon)), 1e-9);
    // Sample points off every edge (the grid is offset by irrational steps):
    // inside the polygon, exactly one triangle holds each; outside, none.
    double low = 1e9, high = -1e9;
    for (const Point2& p : polygon) low = std::min({low, p.u, p.v}), high = std::max({high, p.u, p.v});
    const int steps = 97;
    for (int i = 0; i < steps; ++i)
        for (int j = 0; j < steps; ++j) {
            const Point2 p = {low - 1 + (high - low + 2) * (i + 0.5 / std::sqrt(2.0)) / steps,
                              low - 1 + (high - low + 2) * (j + 0.5 / std::sqrt(3.0)) / steps};
            int holders = 0;
            for (const Triangle& t : triangles)
                holders += strictlyInside(p, polygon[t[0]], polygon[t[1]], polygon[t[2]]);
            ASSERT_EQ(holders, insidePolygon(p, polygon) ? 1 : 0) << "at (" << p.u << ", " << p.v << ")";
        }
}

std::vector<Point2> reversed(std::vector<Point2> polygon) {
    std::reverse(polygon.begin(), polygon.end());
    return polygon;
}

std::vector<Point2> star(int points) {
    std::vector<Point2> polygon;
    const double pi = 3.14159265358979323846;
    for (int i = 0; i < 2 * points; ++i) {
        const double r = i % 2 ? 2 : 5, a = pi * i / points;
        polygon.push_back({r * std::cos(a), r * std::sin(a)});
    }
    return polygon;
}

TEST(FitTriangulate, PolygonsAreCoveredExactlyAndKeepTheirWinding) {
    const struct {
        const char* name;
        std::vector<Point2> polygon;
    } cases[] = {
        {"convex hexagon", {{0, 0}, {2, -1}, {4, 0}, {4, 2}, {2, 3}, {0, 2}}},
        {"L", {{0, 0}, {3, 0}, {3, 1}, {1, 1}, {1, 3}, {0, 3}}},
        {"L starting at its inner corner", {{1, 1}, {1, 3}, {0, 3}, {0, 0}, {3, 0}, {3, 1}}},
        {"five-pointed star", star(5)},
        {"nine-pointed star", star(9)},
        {"collinear corners along the edges",
         {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {3, 1}, {3, 2}, {1.5, 2}, {0, 2}, {0, 1}}},
        {"collinear corners at a notch", {{0, 0}, {4, 0}, {4, 4}, {3, 4}, {2, 4}, {2, 1}, {2, 0.5}, {1, 4}, {0, 4}}},
        {"comb",
         {{0, 0},
          {7, 0},
          {7, 3},
          {6, 3},
          {6, 1},
          {5, 1},
          {5, 3},
          {4, 3},
          {4, 1},
          {3, 1},
          {3, 3},
          {2, 3},
          {2, 1},
          {1, 1},
          {1, 3},
          {0, 3}}},
        {"spiral notch",
         {{0, 0}, {5, 0}, {5, 5}, {1, 5}, {1, 2}, {3, 2}, {3, 3}, {2, 3}, {2, 4}, {4, 4}, {4, 1}, {0, 1}}},
        {"comb of 30 teeth", comb(30)},
        {"strip wound three times", spiralStrip(300, 3)},
        // A square hole reached by a cut from the outside: the polygon runs
        // along the cut both ways and meets itself at its two ends.
        {"square with a hole, joined by a cut",
         {{0, 0}, {4, 0}, {4, 4}, {0, 4}, {0, 2}, {1, 2}, {1, 3}, {3, 3}, {3, 1}, {1, 1}, {1, 2}, {0, 2}}},
        {"repeated corners", {{0, 0}, {3, 0}, {3, 0}, {3, 1}, {1, 1}, {1, 3}, {0, 3}, {0, 3}, {0, 3}, {0, 0}}},
    };
    for (const auto& c : cases)
        for (const Plane* plane : {&flat, &tilted})
            for (bool clockwise : {false, true}) {
                SCOPED_TRACE(::testing::Message() << c.name << (plane == &flat ? ", flat" : ", tilted")
                                                  << (clockwise ? ", clockwise" : ", anticlockwise"));
                expectExactCover(clockwise ? reversed(c.polygon) : c.polygon, *plane);
            }
}

TEST(FitTriangulate, TrianglesFaceTheWayThePolygonFacesInSpace) {
    // The L in the tilted plane: every triangle's normal points along the
    // plane's normal (anticlockwise) or against it (clockwise).
    const std::vector<Point2> l = {{0, 0}, {3, 0}, {3, 1}, {1, 1}, {1, 3}, {0, 3}};
    for (bool clockwise : {false, true}) {
        const std::vector<Vertex> points = embed(clockwise ? reversed(l) : l, tilted);
        for (const Triangle& t : cut(points)) {
            const Vertex a = points[t[0]], b = points[t[1]], c = points[t[2]];
            const double ab[3] = {b.x - a.x, b.y - a.y, b.z - a.z}, ac[3] = {c.x - a.x, c.y - a.y, c.z - a.z};
            const double n[3] = {ab[1] * ac[2] - ab[2] * ac[1], ab[2] * ac[0] - ab[0] * ac[2],
                                 ab[0] * ac[1] - ab[1] * ac[0]};
            const double along = n[0] * tilted.normal.x + n[1] * tilted.normal.y + n[2] * tilted.normal.z;
            EXPECT_GT(clockwise ? -along : along, 0);
        }
    }
}

TEST(FitTriangulate, TrianglesStayAsTheyAreAndShortFacesAreDropped) {
    PolygonMesh mesh;
    mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}};
    // A triangle listed from its second corner, a point, an edge, a quad.
    mesh.corners = {2, 0, 1, 3, 0, 1, 0, 1, 3, 2};
    mesh.faceStart = {0, 3, 4, 6, 10};
    std::vector<Triangle> triangles;
    EXPECT_EQ(triangulateMesh(mesh, triangles), -1);
    ASSERT_EQ(triangles.size(), 3u);
    EXPECT_EQ(triangles[0], (Triangle{2, 0, 1}));
    EXPECT_EQ(triangles[1], (Triangle{0, 1, 3}));
    EXPECT_EQ(triangles[2], (Triangle{0, 3, 2}));
}

TEST(FitTriangulate, PolygonsWithoutAreaStillGiveNMinusTwoTriangles) {
    for (const std::vector<Vertex>& points : {
             std::vector<Vertex>{{0, 0, 0}, {1, 1, 1}, {2, 2, 2}, {3, 3, 3}, {4, 4, 4}},  // on a line
             std::vector<Vertex>{{5, 5, 5}, {5, 5, 5}, {5, 5, 5}, {5, 5, 5}},             // on a point
         }) {
        EXPECT_EQ(cut(points).size(), points.size() - 2);
    }
}

TEST(FitTriangulate, LargePolygonsAreCutExactly) {
    // The shapes that took ear clipping about n^2 or n^3 steps; how long they
    // take now is measured by fit_bench.
    const std::pair<const char*, std::vector<Point2>> cases[] = {
        {"strip wound 100 times", spiralStrip(30000, 100)},
        {"comb", comb(7501)},
        {"star", star(15001)},
    };
    for (const auto& [name, polygon] : cases) {
        SCOPED_TRACE(name);
        expectTriangulation(polygon, cut(embed(polygon, tilted)));
        expectTriangulation(reversed(polygon), cut(embed(reversed(polygon), flat)));
    }
}

TEST(FitTriangulate, PolygonsThatCrossThemselvesAreCutUpToALimitAndRefusedBeyond) {
    // A wound strip with two neighbouring corners swapped: two of its edges
    // cross there. It has no inside to cover, but still gets n - 2 triangles,
    // up to the corners ear clipping can take in time.
    for (const std::size_t n : {maxClippedCorners, maxClippedCorners + 2}) {
        SCOPED_TRACE(n);
        std::vector<Point2> polygon = spiralStrip(n, 3);
        std::swap(polygon[n / 4], polygon[n / 4 + 1]);
        const std::vector<Vertex> points = embed(polygon, flat);
        std::vector<std::int32_t> corners(n);
        std::iota(corners.begin(), corners.end(), 0);
        std::vector<Triangle> triangles;
        const bool cutOrRefused = triangulatePolygon(points, corners, triangles);
        EXPECT_EQ(cutOrRefused, n <= maxClippedCorners);
        EXPECT_EQ(triangles.size(), cutOrRefused ? n - 2 : 0);
    }
}

TEST(FitTriangulate, PolygonsNearTheEndsOfTheRangeOfADoubleAreCutAsAnyOther) {
    // The L around the origin, then the same times powers of two that take it
    // to about 1e307 (where its turns overflow a double), 1e-300 and below
    // the smallest normal double (1e-310).
    const std::vector<Point2> l = {{-1.5, -1.5}, {1.5, -1.5}, {1.5, -0.5}, {-0.5, -0.5}, {-0.5, 1.5}, {-1.5, 1.5}};
    const std::vector<Triangle> expected = cut(embed(l, flat));
    for (const int exponent : {1022, 200, -995, -1029}) {
        SCOPED_TRACE(exponent);
        std::vector<Point2> scaled = l;
        for (Point2& p : scaled) p = {std::ldexp(p.u, exponent), std::ldexp(p.v, exponent)};
        EXPECT_EQ(cut(embed(scaled, flat)), expected);
    }
}

}  // namespace
