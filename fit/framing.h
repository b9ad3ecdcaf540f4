// Where the viewer should find the mesh: one uniform scale and a move that
// keep it whole in the 800 x 600 window at every turntable angle, large, and
// seen a little from above.
#pragma once

#include <string>
#include <vector>

#include "mesh/model.h"

// Scales `points` uniformly and moves them: every point p of the mesh,
// already turned z-up, becomes scale * (p - centre) + (0, 0, height), centre
// being the middle of their box. `points` must not be empty (the vertices
// the faces use; any other would widen the frame for nothing) and must be
// finite. False, with one line in `error` (no path), when the result is not
// finite.
bool frameForViewer(std::vector<Vertex>& points, std::string& error);

// The largest share of the window's half-width and half-height that any
// point reaches, over every turntable angle: fill 0.8 leaves a fifth of each
// half free. frameForViewer aims its furthest point at exactly this.
inline constexpr double targetFill = 0.8;
