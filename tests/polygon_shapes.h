// Polygons for the cuts into triangles to take, as (u, v) corners in the
// order that runs anticlockwise: small literal ones with a name, sorted by
// how they meet themselves, and large shapes made to measure (a star, a comb,
// a strip wound about itself), which bench/fit_bench.cpp times as well.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "geometry/plane_polygon.h"

struct NamedPolygon {
    const char* name;
    std::vector<PlanePoint> corners;
};

inline std::vector<PlanePoint> reversed(std::vector<PlanePoint> polygon) {
    std::reverse(polygon.begin(), polygon.end());
    return polygon;
}

// The same polygon listed from its corner `first`.
inline std::vector<PlanePoint> startingAt(std::vector<PlanePoint> polygon, std::size_t first) {
    std::rotate(polygon.begin(), polygon.begin() + static_cast<std::ptrdiff_t>(first), polygon.end());
    return polygon;
}

// `points` points of radius 5, with corners of radius 2 between them.
inline std::vector<PlanePoint> star(int points) {
    const double pi = 3.14159265358979323846;
    std::vector<PlanePoint> polygon;
    for (int i = 0; i < 2 * points; ++i) {
        const double r = i % 2 ? 2 : 5, a = pi * i / points;
        polygon.push_back({r * std::cos(a), r * std::sin(a)});
    }
    return polygon;
}

// `teeth` teeth 1 wide and 10 tall, 1 apart, on a bar: 4 corners a tooth.
inline std::vector<PlanePoint> comb(std::size_t teeth) {
    std::vector<PlanePoint> polygon{{0, 0}, {2.0 * static_cast<double>(teeth) - 1, 0}};
    for (std::size_t k = teeth; k-- > 0;) {
        const double right = 2.0 * static_cast<double>(k) + 1, left = 2.0 * static_cast<double>(k);
        polygon.insert(polygon.end(), {{right, 10}, {left, 10}});
        if (k > 0) polygon.insert(polygon.end(), {{left, 1}, {left - 1, 1}});
    }
    return polygon;
}

// A strip about 1 wide wound `turns` times around the origin, every turn
// nested in the next: out along its outer side, back along its inner one.
inline std::vector<PlanePoint> spiralStrip(std::size_t corners, double turns) {
    const double pi = 3.14159265358979323846;
    const std::size_t half = corners / 2;
    std::vector<PlanePoint> polygon;
    for (std::size_t i = 0; i < 2 * half; ++i) {
        const std::size_t k = i < half ? i : 2 * half - 1 - i;
        const double t = 2 * pi * turns * static_cast<double>(k) / static_cast<double>(half);
        const double r = 1 + 2 * t + (i < half ? 1 : 0);
        polygon.push_back({r * std::cos(t), r * std::sin(t)});
    }
    return polygon;
}

// The strip wound three times with two neighbouring corners swapped a
// quarter of the way along: two of its edges cross there.
inline std::vector<PlanePoint> crossedStrip(std::size_t corners) {
    std::vector<PlanePoint> polygon = spiralStrip(corners, 3);
    std::swap(polygon[corners / 4], polygon[corners / 4 + 1]);
    return polygon;
}

// Each edge meets only its two neighbours, at their shared corners.
inline std::vector<NamedPolygon> simplePolygons() {
    return {
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
    };
}

// Holes that meet the outside: the polygon runs both ways along a cut to a
// hole, or passes through one point twice, without crossing itself there.
inline std::vector<NamedPolygon> touchingPolygons() {
    return {
        {"square hole joined by a cut",
         {{0, 0}, {4, 0}, {4, 4}, {0, 4}, {0, 2}, {1, 2}, {1, 3}, {3, 3}, {3, 1}, {1, 1}, {1, 2}, {0, 2}}},
        {"triangular hole touching the edge", {{0, 0}, {4, 0}, {4, 4}, {0, 4}, {0, 2}, {2, 3}, {2, 1}, {0, 2}}},
        {"square hole touching the edge", {{0, 0}, {4, 0}, {4, 4}, {0, 4}, {0, 2}, {2, 3}, {3, 2}, {2, 1}, {0, 2}}},
        {"triangular hole touching the end of a cut",
         {{0, 0}, {6, 0}, {6, 6}, {0, 6}, {0, 3}, {3, 3}, {2, 4}, {4, 4}, {3, 3}, {0, 3}}},
    };
}

// A corner listed again beside itself: edges without length.
inline std::vector<NamedPolygon> repeatedCornerPolygons() {
    return {
        {"L with repeated corners", {{0, 0}, {3, 0}, {3, 0}, {3, 1}, {1, 1}, {1, 3}, {0, 3}, {0, 3}, {0, 3}, {0, 0}}},
    };
}

// Two edges cross: a polygon without an inside, though its area counted with
// its sign is positive.
inline std::vector<NamedPolygon> crossingPolygons() {
    return {
        {"bow tie, its left wing the larger", {{0, 0}, {4, 4}, {4, 2}, {0, 6}}},
        {"strip of 300 corners crossed", crossedStrip(300)},
    };
}
