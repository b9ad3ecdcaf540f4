// Polygons cut into triangles: n - 2 of them, covering the polygon exactly
// (every point inside it in exactly one triangle, every point outside in
// none, areas adding up), each facing the way the polygon faces.
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <vector>

#include "fit/triangulate.h"

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

void expectExactCover(const std::vector<Point2>& polygon, const Plane& plane) {
    const std::vector<Triangle> triangles = cut(embed(polygon, plane));
    ASSERT_EQ(triangles.size(), polygon.size() - 2);
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

TEST(FitTriangulate, HugePolygonsAreCutWhenConvexAndRefusedWhenNot) {
    // A regular polygon of maxClippedCorners + 1 corners is a fan; the same
    // with every other corner pulled in (a star) is refused, not clipped for
    // minutes.
    const std::size_t n = maxClippedCorners + 1 + (maxClippedCorners + 1) % 2;
    std::vector<Vertex> round(n), star(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double a = 2 * 3.14159265358979323846 * static_cast<double>(i) / static_cast<double>(n);
        round[i] = {std::cos(a), std::sin(a), 0};
        star[i] = {(i % 2 ? 0.5 : 1) * std::cos(a), (i % 2 ? 0.5 : 1) * std::sin(a), 0};
    }
    std::vector<std::int32_t> corners(n);
    std::iota(corners.begin(), corners.end(), 0);
    std::vector<Triangle> triangles;
    EXPECT_TRUE(triangulatePolygon(round, corners, triangles));
    EXPECT_EQ(triangles.size(), n - 2);
    triangles.clear();
    EXPECT_FALSE(triangulatePolygon(star, corners, triangles));
    EXPECT_TRUE(triangles.empty());
}

}  // namespace
