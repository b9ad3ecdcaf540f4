// How the viewer sees a point, and what that asks of the framing.
//
// The viewer stands the mesh z-up, turns it by the turntable angle a about
// its z axis, moves its origin to (0, 10, -20) and looks at it from
// (0, 0, 15) down -z with y up, through a perspective of 100 degrees
// vertically in an 800 x 600 window (aspect 4/3). A point (x, y, z) of the
// mesh, at distance r = sqrt(x^2 + y^2) from the z axis, so that after the
// turn it is at (r cos t, r sin t, z) for some t, lands in eye space at
//   X = r cos t,   Y = z + 10,   depth D = 35 + r sin t,
// and on the screen, in units of the half-window (-1 .. 1 edge to edge), at
//   horizontally  (f / aspect) X / D,   vertically  f Y / D,
// with f = 1 / tan(50 degrees) = 0.8391. After the divide-by-360 wrap the
// angle can be anything, so every t counts; and a point must stay in front of
// the eye (D > 0.1, the near plane), which r < 35 ensures.
//
// The point that binds is brought to marginPixels from the window's edge at
// its worst angle: to the share fillX = 1 - 4 / 400 of the half-width, or
// fillY = 1 - 4 / 300 of the half-height.
//
// Horizontally, over all t, the largest |X / D| is r / sqrt(35^2 - r^2) (the
// line from the eye that touches the point's circle), which grows with r: only
// the largest distance R from the axis matters. To reach the share fillX of
// the half-width:
//   R / sqrt(35^2 - R^2) <= fillX * aspect / f,  i.e.  R <= 35 u / sqrt(1 + u^2)
// with u = fillX * aspect / f.
//
// Vertically, over all t, the largest |Y / D| is |Y| / (35 - r): the point
// nearest the eye. The mesh is scaled by s about the centre of its box
// (cx, cy, zc) and put at height h - 10 eye-space units below the eye line,
// with h proportional to s: h = -c s R0, R0 being the unscaled largest
// distance from the axis. So a point's Y is s w with w = z - zc - c R0, its
// r is s r0, and the point stays within fillY of the half-height when
//   f s |w| / (35 - s r0) <= fillY,  i.e.  s <= 35 k / (|w| + k r0),  k = fillY / f.
// One pass over the points gives the largest s for all of them at once.
//
// The shift c R0 below the eye line is what makes a flat mesh visible: a
// mesh in the plane z = zc would otherwise lie in the eye's own horizontal
// plane and be seen edge on, as a line, at every angle. With c = 1/4 a flat
// disc comes out 28.9 units in radius, its near edge on the window's bottom
// edge when it turns nearest, about seven units below the eye and 35 in front
// of it: the camera looks down on it at about 12 degrees, and it covers
// about 45 % of the window's height. What is seen from above is what lies
// below the eye line: the top of a mesh whose height is less than half its
// R0 (a plate, a terrain), the upper slopes of most others; the top face of
// a box or a cylinder as tall as it is wide stays above the eye line and is
// not seen. Seeing it would take c above 0.71: on the real meshes tried, that
// costs a third of the picture's size (median 73 % of the window at the
// widest, against 48 % with c = 3/4), so c stays 1/4.
//
// The scale is the smaller of the two limits, so the point that binds reaches
// exactly its fill at its worst angle, and no point goes further at any angle.
#include "geometry/framing.h"

#include <algorithm>
#include <cmath>

#include "mesh/view.h"

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double eyeToOrigin = viewEye.z - viewPlacement[2];     // 35: camera at z = 15, the mesh's origin at z = -20
constexpr double originAboveEye = viewPlacement[1] - viewEye.y;  // 10
constexpr double aspect = static_cast<double>(viewWidth) / viewHeight;
constexpr double belowEyeShare = 0.25;  // c above

double focal() { return 1.0 / std::tan(viewFieldOfView / 2 * pi / 180.0); }

struct Framing {
    double scale = 1;
    Vertex centre{0, 0, 0};
    double height = 0;
};

Framing framingFor(const std::vector<Vertex>& points) {
    Vertex low = points.front(), high = points.front();
    for (const Vertex& p : points) {
        low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
        high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
    }
    Framing framing;
    // Halves first, so that a box as wide as the doubles allow has a centre.
    framing.centre = {low.x / 2 + high.x / 2, low.y / 2 + high.y / 2, low.z / 2 + high.z / 2};
    const Vertex c = framing.centre;

    double radius = 0;  // R0
    for (const Vertex& p : points) radius = std::max(radius, std::hypot(p.x - c.x, p.y - c.y));

    const double f = focal();
    const double fillX = 1 - marginPixels / (viewWidth / 2.0), fillY = 1 - marginPixels / (viewHeight / 2.0);
    const double u = fillX * aspect / f;
    const double k = fillY / f;
    double vertical = 0;  // the largest |w| + k r0
    for (const Vertex& p : points) {
        const double w = p.z - c.z - belowEyeShare * radius;
        vertical = std::max(vertical, std::fabs(w) + k * std::hypot(p.x - c.x, p.y - c.y));
    }
    const double horizontalScale = radius > 0 ? eyeToOrigin * u / std::sqrt(1 + u * u) / radius : INFINITY;
    const double verticalScale = vertical > 0 ? eyeToOrigin * k / vertical : INFINITY;
    framing.scale = std::min(horizontalScale, verticalScale);
    if (!std::isfinite(framing.scale) || framing.scale == 0) framing.scale = 1;  // a single point: nothing to size
    framing.height = -originAboveEye - belowEyeShare * framing.scale * radius;
    return framing;
}

}  // namespace

bool frameForViewer(std::vector<Vertex>& points, std::string& error) {
    const Framing framing = framingFor(points);
    const double s = framing.scale;
    const Vertex c = framing.centre;
    for (Vertex& p : points) p = {s * (p.x - c.x), s * (p.y - c.y), s * (p.z - c.z) + framing.height};
    for (const Vertex& p : points)
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
            error = "coordinates too large to scale: expected a mesh less than about 1e300 across";
            return false;
        }
    return true;
}
