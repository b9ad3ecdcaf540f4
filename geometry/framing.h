// Where the viewer should find the mesh: one uniform scale and a move that
// keep it whole in the viewer's window at every turntable angle, as large as
// that allows, and a little below the line of sight (see framing.cpp).
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

// The room, in pixels, that the mesh keeps from the edges of the viewer's
// window (mesh/view.h) at every turntable angle: the point that binds comes
// exactly this close at its worst angle (the picture can reach a pixel
// further, where the rasteriser lights a pixel whose centre the edge passes).
inline constexpr double marginPixels = 4;
