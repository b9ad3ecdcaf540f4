// rendering: the viewer's frames with no display: the viewer's own scene
// set-up, camera and display in an offscreen EGL context, read back pixel
// for pixel as its window shows them, and saved as PNG or GIF.
//
// This file: the pictures the companions make of a mesh: one frame as a
// PNG, a whole turn as a GIF, a file manager's square thumbnail. Every size,
// angle and delay is the viewer's own (mesh/view.h).
#pragma once

#include <optional>
#include <string>

#include "mesh/model.h"

enum class PictureKind {
    frame,      // the viewer's window at one turntable angle, PNG
    turn,       // the window at each tick of one turn, 10 to 360 degrees, as a GIF that loops
    thumbnail,  // the first frame, as wide as a square and centred in it on the background, PNG
};

struct PictureRequest {
    PictureKind kind = PictureKind::frame;
    std::optional<double> angle;  // frame: the turntable angle; none: the viewer's first frame
    int thumbnailSize = 0;        // thumbnail: the square's side in pixels
    std::string output;           // the file, written whole or not at all; "-" for standard output
};

// Draws `model` (the viewer's own scene, camera and display, through an
// offscreen context) as `request` asks and writes the picture. Returns
// 0 when it is written; otherwise one line in `error` (no line break) and
//   1  the picture cannot be written (or no memory for it): "<output>: ..."
//   3  no OpenGL without a display: "cannot draw without a display: ..."
int drawPicture(Model&& model, const PictureRequest& request, std::string& error);
