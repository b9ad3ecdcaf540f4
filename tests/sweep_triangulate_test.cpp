// The sweep on its own, not behind triangulatePolygon, where ear clipping
// would quietly cut whatever the sweep wrongly refused: every simple polygon
// is cut, from whichever corner it is listed, into triangles that cover it
// exactly; a polygon that crosses itself is refused and nothing is appended.
#include <gtest/gtest.h>

#include <vector>

#include "geometry/sweep_triangulate.h"
#include "polygon_cover.h"
#include "polygon_shapes.h"

namespace {

// What the triangles hold before the call, which must stay as it is.
const std::vector<LocalTriangle> earlier = {{7, 8, 9}};

std::vector<LocalTriangle> appended(const std::vector<LocalTriangle>& triangles) {
    return {triangles.begin() + static_cast<std::ptrdiff_t>(earlier.size()), triangles.end()};
}

TEST(SweepTriangulate, EverySimplePolygonIsCoveredExactlyFromEveryFirstCorner) {
    for (const NamedPolygon& shape : simplePolygons()) {
        ASSERT_GT(signedArea(shape.corners), 0) << shape.name << " runs clockwise";
        for (std::size_t first = 0; first < shape.corners.size(); ++first) {
            SCOPED_TRACE(::testing::Message() << shape.name << " from corner " << first);
            const std::vector<PlanePoint> polygon = startingAt(shape.corners, first);
            std::vector<LocalTriangle> triangles = earlier;
            ASSERT_TRUE(sweepTriangulate(polygon, triangles));
            ASSERT_EQ(triangles[0], earlier[0]);
            const std::vector<LocalTriangle> cut = appended(triangles);
            EXPECT_TRUE(coversExactly(polygon, asTriangles(cut)));
            for (const LocalTriangle& t : cut)
                EXPECT_TRUE(t[0] < t[1] && t[1] < t[2]) << t[0] << " " << t[1] << " " << t[2] << " not ascending";
        }
        std::vector<LocalTriangle> triangles;
        ASSERT_TRUE(sweepTriangulate(shape.corners, triangles)) << shape.name;
        EXPECT_TRUE(holdsEachPointOnce(shape.corners, asTriangles(triangles))) << shape.name;
    }
}

TEST(SweepTriangulate, APolygonThatTouchesItselfIsCoveredExactlyOrRefused) {
    for (const NamedPolygon& shape : touchingPolygons())
        for (std::size_t first = 0; first < shape.corners.size(); ++first) {
            SCOPED_TRACE(::testing::Message() << shape.name << " from corner " << first);
            const std::vector<PlanePoint> polygon = startingAt(shape.corners, first);
            std::vector<LocalTriangle> triangles = earlier;
            if (sweepTriangulate(polygon, triangles))
                EXPECT_TRUE(coversExactly(polygon, asTriangles(appended(triangles))));
            else
                EXPECT_EQ(triangles, earlier);
        }
}

TEST(SweepTriangulate, APolygonThatCrossesItselfIsRefused) {
    for (const NamedPolygon& shape : crossingPolygons())
        for (std::size_t first = 0; first < shape.corners.size(); ++first) {
            SCOPED_TRACE(::testing::Message() << shape.name << " from corner " << first);
            std::vector<LocalTriangle> triangles = earlier;
            EXPECT_FALSE(sweepTriangulate(startingAt(shape.corners, first), triangles));
            EXPECT_EQ(triangles, earlier);
        }
}

}  // namespace
