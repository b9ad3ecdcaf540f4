// What the viewer's window is and where its camera stands: the numbers the
// viewer draws with, which tarvexgl-fit's framing and tarvexgl-shot's
// pictures must agree with. They live here and nowhere else.
//
// A point p of the mesh reaches the screen as
//   perspective(viewFieldOfView, width / height, viewNear, viewFar)
//   * lookAt(viewEye, viewCentre, viewUp)
//   * translate(viewPlacement) * rotate(-90 degrees about x) * rotate(spin about z) * p
// so the mesh's z axis stands up the screen and the turntable turns it about
// that axis.
#pragma once

struct ViewPoint {
    double x, y, z;
};

// The window, in pixels, and where it opens on the screen.
inline constexpr int viewWidth = 800, viewHeight = 600;
inline constexpr int viewLeft = 10, viewTop = 10;

// The perspective: vertical field of view in degrees, near and far planes.
inline constexpr double viewFieldOfView = 100.0, viewNear = 0.1, viewFar = 5000.0;

// The camera: the eye, the point it looks at, and which way is up.
inline constexpr ViewPoint viewEye{0.0, 0.0, 15.0}, viewCentre{0.0, 0.0, -5.0}, viewUp{0.0, 1.0, 0.0};

// Where the mesh's origin is put in the camera's world (floats, as OpenGL
// takes them): ten units above the line of sight, 35 in front of the eye.
inline constexpr float viewPlacement[3] = {0.0f, 10.0f, -20.0f};

// The turntable: degrees a tick, the tick in milliseconds, and the ticks of
// one turn.
inline constexpr double turntableStep = 10.0;
inline constexpr int turntableTickMilliseconds = 100;
inline constexpr int turntableTicksPerTurn = 36;
