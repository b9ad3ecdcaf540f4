// Where the viewer should find the mesh: one uniform scale and a move that
// keep it whole in the 800 x 600 window at every turntable angle, large, and
// seen a little from above.
#pragma once

#include <vector>

#include "mesh/model.h"

// Output point = scale * (p - centre) + (0, 0, height), for every point p of
// the mesh already turned z-up.
struct Framing {
    double scale = 1;
    Vertex centre{0, 0, 0};
    double height = 0;
};

// The framing for `points`, which must not be empty (the vertices the faces
// use; any other would widen the frame for nothing). Points must be finite.
Framing frameForViewer(const std::vector<Vertex>& points);

// The largest share of the window's half-width and half-height that any
// point reaches, over every turntable angle: fill 0.8 leaves a fifth of each
// half free. frameForViewer aims its furthest point at exactly this.
inline constexpr double targetFill = 0.8;

void applyFraming(const Framing& framing, std::vector<Vertex>& points);
