// Animations as GIF files (giflib), built frame by frame in memory.
//
// The viewer's pictures are grey (white light on the default grey material,
// a grey background), and a GIF's palette of 256 colours holds every grey
// level: the frames are kept exactly, with no dithering or loss.
#pragma once

#include <gif_lib.h>

#include <string>

#include "rendering/picture.h"

struct GifAnimation {
    GifFileType* gif = nullptr;
    std::string bytes;  // the file so far
    int width = 0, height = 0;
};

// Starts an animation of `width` x `height` frames that loops for ever.
// False with the reason in `error` (one line, no line break).
bool startGif(GifAnimation& animation, int width, int height, std::string& error);

// Adds `frame`, shown for `delayCentiseconds`. It must have the animation's
// size and be grey (red, green and blue equal in every pixel); false with
// the reason in `error` otherwise.
bool addGifFrame(GifAnimation& animation, const Picture& frame, int delayCentiseconds, std::string& error);

// Ends the animation and hands over the file's bytes in `gif`; false with
// the reason in `error`. The animation is released either way.
bool finishGif(GifAnimation& animation, std::string& gif, std::string& error);

// Releases an animation that is not to be finished.
void abandonGif(GifAnimation& animation);
