// --shot and --turn: the fitted mesh drawn by tarvexgl-shot, with no display.
#pragma once

#include <string>

#include "mesh/polygon_mesh.h"

struct ShotRequest {
    bool turn = false;   // the whole turn as a GIF (--turn), else the first frame as a PNG (--shot)
    std::string output;  // the picture file; empty when no picture is asked for
};

// Runs tarvexgl-shot (findProgram) with `mesh` on a pipe to its standard
// input, which it loads as the viewer loads a file, to write
// request.output. No temporary file: nothing is left behind however either
// program ends. Returns tarvexgl-shot's exit status (its own line on
// standard error says why it failed; 128 + the signal when a signal ended
// it), or -1 with a one-line reason in `error` when it cannot be found or
// started.
int drawWithShot(const TriangleMesh& mesh, const ShotRequest& request, std::string& error);
