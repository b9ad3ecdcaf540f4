// Ear clipping on its own, as tarvexgl-fit falls back on it for whatever the
// sweep refuses: simple polygons and holes that meet the outside are covered
// exactly, from whichever corner they are listed; a polygon that crosses
// itself still gets n - 2 triangles whose sides pair up; and the corner
// limit holds to the corner.
#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "geometry/ear_clipping.h"
#include "polygon_cover.h"
#include "polygon_shapes.h"

namespace {

// What the triangles hold before the call, which must stay as it is.
const std::vector<LocalTriangle> earlier = {{7, 8, 9}};

// The triangles the call appended, for the checks; the earlier ones must be
// untouched.
std::vector<Triangle> clipped(const std::vector<PlanePoint>& polygon) {
    std::vector<LocalTriangle> triangles = earlier;
    EXPECT_TRUE(clipEars(polygon, triangles));
    EXPECT_EQ(triangles[0], earlier[0]);
    return asTriangles({triangles.begin() + static_cast<std::ptrdiff_t>(earlier.size()), triangles.end()});
}

void expectCoveredFromEveryFirstCorner(const std::vector<NamedPolygon>& shapes) {
    for (const NamedPolygon& shape : shapes) {
        ASSERT_GT(signedArea(shape.corners), 0) << shape.name << " runs clockwise";
        for (std::size_t first = 0; first < shape.corners.size(); ++first) {
            SCOPED_TRACE(::testing::Message() << shape.name << " from corner " << first);
            const std::vector<PlanePoint> polygon = startingAt(shape.corners, first);
            EXPECT_TRUE(coversExactly(polygon, clipped(polygon)));
        }
        EXPECT_TRUE(holdsEachPointOnce(shape.corners, clipped(shape.corners))) << shape.name;
    }
}

TEST(EarClipping, EverySimplePolygonIsCoveredExactlyFromEveryFirstCorner) {
    expectCoveredFromEveryFirstCorner(simplePolygons());
}

TEST(EarClipping, HolesThatMeetTheOutsideAreCoveredExactly) { expectCoveredFromEveryFirstCorner(touchingPolygons()); }

// Where it does not promise a cover: still n - 2 triangles, their sides
// paired.
TEST(EarClipping, APolygonThatCrossesItselfOrListsACornerTwiceGetsTrianglesWhoseSidesPairUp) {
    std::vector<NamedPolygon> shapes = crossingPolygons();
    for (NamedPolygon& shape : repeatedCornerPolygons()) shapes.push_back(std::move(shape));
    for (const NamedPolygon& shape : shapes)
        for (std::size_t first = 0; first < shape.corners.size(); ++first) {
            SCOPED_TRACE(::testing::Message() << shape.name << " from corner " << first);
            const std::vector<PlanePoint> polygon = startingAt(shape.corners, first);
            EXPECT_TRUE(pairsUp(polygon, clipped(polygon)));
        }
}

std::vector<PlanePoint> regularPolygon(std::size_t corners) {
    const double pi = 3.14159265358979323846;
    std::vector<PlanePoint> polygon;
    for (std::size_t i = 0; i < corners; ++i) {
        const double a = 2 * pi * static_cast<double>(i) / static_cast<double>(corners);
        polygon.push_back({std::cos(a), std::sin(a)});
    }
    return polygon;
}

TEST(EarClipping, PolygonsAreCutUpToTheCornerLimitAndRefusedBeyondIt) {
    // Up to the limit, a polygon that crosses itself (the kind the limit is
    // for) is cut.
    const std::vector<PlanePoint> crossed = crossedStrip(maxClippedCorners);
    EXPECT_TRUE(pairsUp(crossed, clipped(crossed)));
    // Beyond it, crossing or convex; and below three corners, which are no
    // polygon.
    for (const std::vector<PlanePoint>& polygon :
         {crossedStrip(maxClippedCorners + 2), regularPolygon(maxClippedCorners + 1),
          std::vector<PlanePoint>{{0, 0}, {1, 0}}, std::vector<PlanePoint>{}}) {
        SCOPED_TRACE(::testing::Message() << polygon.size() << " corners");
        std::vector<LocalTriangle> triangles = earlier;
        EXPECT_FALSE(clipEars(polygon, triangles));
        EXPECT_EQ(triangles, earlier);
    }
    const std::vector<PlanePoint> largest = regularPolygon(maxClippedCorners);
    EXPECT_TRUE(coversExactly(largest, clipped(largest)));
}

}  // namespace
