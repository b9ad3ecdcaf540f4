// Where the viewer puts a mesh point on the screen, worked out by hand from
// its constants rather than with the viewer's code, so that tests can check
// the picture against it: turn about the mesh's z axis by the turntable
// angle, stand z up ((x, y, z) -> (x, z, -y)), move by (0, 10, -20), camera
// at z = 15 looking down -z with y up, then a perspective with a 100-degree
// vertical field of view. Pixel coordinates have (0, 0) at the bottom left,
// as glReadPixels counts them.
#pragma once

#include <cmath>

#include "mesh/model.h"

struct ScreenPoint {
    double x, y;
    double depth;  // distance in front of the eye along the line of sight
};

inline ScreenPoint projectToScreen(const Vertex& p, double angleDegrees, int width = 800, int height = 600) {
    constexpr double pi = 3.14159265358979323846;
    const double a = angleDegrees * pi / 180.0;
    const double x = p.x * std::cos(a) - p.y * std::sin(a);
    const double y = p.x * std::sin(a) + p.y * std::cos(a);
    const double eye[3] = {x, p.z + 10.0, -y - 20.0 - 15.0};
    const double f = 1.0 / std::tan(50.0 * pi / 180.0);
    const double aspect = static_cast<double>(width) / height;
    const double depth = -eye[2];
    const double ndcX = f / aspect * eye[0] / depth;
    const double ndcY = f * eye[1] / depth;
    return {(ndcX + 1.0) * width / 2.0, (ndcY + 1.0) * height / 2.0, depth};
}
