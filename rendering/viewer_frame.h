// The viewer's frames, drawn without a display by the viewer's own reshape
// and display into an offscreen framebuffer.
#pragma once

#include "rendering/offscreen.h"
#include "rendering/picture.h"

// The viewer's reshape for a frame of `width` x `height` pixels, then the
// projection turned upside down (see the .cpp), so that the frame fills the
// top left of the offscreen picture the right way up. Once, before
// drawFrame; the scene state (initSceneState) must already be set.
void setUpCamera(int width, int height);

// The viewer's display at the current spinAngle, read back as a picture of
// the whole framebuffer, the top row first, with the frame moved `top` rows
// down. Everywhere outside the frame is the viewer's background, as its
// display clears it.
Picture drawFrame(const Offscreen& offscreen, int top);
