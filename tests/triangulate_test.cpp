// Polygons cut into triangles: n - 2 of them, covering the polygon exactly
// (every point inside it in exactly one triangle, every point outside in
// none, areas adding up), each facing the way the polygon faces.
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <vector>

#include "geometry/triangulate.h"
#include "polygon_cover.h"
#include "polygon_shapes.h"

namespace {

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

std::vector<Vertex> embed(const std::vector<PlanePoint>& polygon, const Plane& plane) {
    std::vector<Vertex> points;
    points.reserve(polygon.size());
    for (const PlanePoint& p : polygon)
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

// Cut in `plane`, the polygon's triangles cover it exactly, each facing the
// way it faces.
void expectExactCover(const std::vector<PlanePoint>& polygon, const Plane& plane) {
    const std::vector<Triangle> triangles = cut(embed(polygon, plane));
    EXPECT_TRUE(coversExactly(polygon, triangles));
    EXPECT_TRUE(holdsEachPointOnce(polygon, triangles));
}

TEST(FitTriangulate, PolygonsAreCoveredExactlyAndKeepTheirWinding) {
    std::vector<NamedPolygon> cases = simplePolygons();
    for (std::vector<NamedPolygon> more : {touchingPolygons(), repeatedCornerPolygons()})
        cases.insert(cases.end(), more.begin(), more.end());
    for (const auto& c : cases)
        for (const Plane* plane : {&flat, &tilted})
            for (bool clockwise : {false, true}) {
                SCOPED_TRACE(::testing::Message() << c.name << (plane == &flat ? ", flat" : ", tilted")
                                                  << (clockwise ? ", clockwise" : ", anticlockwise"));
                expectExactCover(clockwise ? reversed(c.corners) : c.corners, *plane);
            }
}

TEST(FitTriangulate, TrianglesFaceTheWayThePolygonFacesInSpace) {
    // The L in the tilted plane: every triangle's normal points along the
    // plane's normal (anticlockwise) or against it (clockwise).
    const std::vector<PlanePoint> l = {{0, 0}, {3, 0}, {3, 1}, {1, 1}, {1, 3}, {0, 3}};
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
    // The quad's two, by either diagonal, as corners of the quad 0 1 3 2.
    const std::vector<PlanePoint> quad = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    const std::int32_t cornerOf[4] = {0, 1, 3, 2};  // vertex -> its place in the quad
    std::vector<Triangle> inQuad;
    for (std::size_t k = 1; k < triangles.size(); ++k)
        inQuad.push_back({cornerOf[triangles[k][0]], cornerOf[triangles[k][1]], cornerOf[triangles[k][2]]});
    EXPECT_TRUE(coversExactly(quad, inQuad));
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
    const NamedPolygon cases[] = {
        {"strip wound 100 times", spiralStrip(30000, 100)},
        {"comb", comb(7501)},
        {"star", star(15001)},
    };
    for (const auto& [name, polygon] : cases) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(coversExactly(polygon, cut(embed(polygon, tilted))));
        EXPECT_TRUE(coversExactly(reversed(polygon), cut(embed(reversed(polygon), flat))));
    }
}

TEST(FitTriangulate, PolygonsThatCrossThemselvesAreCutUpToALimitAndRefusedBeyond) {
    // A wound strip with two neighbouring corners swapped: two of its edges
    // cross there. It has no inside to cover, but still gets n - 2 triangles
    // whose sides pair up, up to the corners ear clipping can take in time.
    for (const std::size_t n : {maxClippedCorners, maxClippedCorners + 2}) {
        SCOPED_TRACE(n);
        const std::vector<PlanePoint> polygon = crossedStrip(n);
        const std::vector<Vertex> points = embed(polygon, flat);
        std::vector<std::int32_t> corners(n);
        std::iota(corners.begin(), corners.end(), 0);
        std::vector<Triangle> triangles;
        const bool cutOrRefused = triangulatePolygon(points, corners, triangles);
        EXPECT_EQ(cutOrRefused, n <= maxClippedCorners);
        if (cutOrRefused) EXPECT_TRUE(pairsUp(polygon, triangles));
        else
            EXPECT_TRUE(triangles.empty());
    }
}

TEST(FitTriangulate, PolygonsNearTheEndsOfTheRangeOfADoubleAreCutAsAnyOther) {
    // The L around the origin, then the same times powers of two that take it
    // to about 1e307 (where its turns overflow a double), 1e-300 and below
    // the smallest normal double (1e-310). Its cover is checked on the L as
    // it was, since a power of two changes no turn and no sign. Listed from
    // the end of its foot, so that a fan, what a polygon gets whose turns
    // came out as nothing or NaN, would not cover it.
    const std::vector<PlanePoint> l = {{1.5, -1.5}, {1.5, -0.5}, {-0.5, -0.5}, {-0.5, 1.5}, {-1.5, 1.5}, {-1.5, -1.5}};
    for (const int exponent : {0, 1022, 200, -995, -1029}) {
        SCOPED_TRACE(exponent);
        std::vector<PlanePoint> scaled = l;
        for (PlanePoint& p : scaled) p = {std::ldexp(p.u, exponent), std::ldexp(p.v, exponent)};
        EXPECT_TRUE(coversExactly(l, cut(embed(scaled, flat))));
    }
}

}  // namespace
