// The picture files tarvexgl-shot writes, read back with libpng and giflib's
// own decoders, and compared.
#pragma once

#include <string>
#include <vector>

struct RgbPicture {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;  // the top row first, 3 bytes a pixel
};

// The PNG at `path` as 8-bit RGB; empty (width 0) when it cannot be read.
RgbPicture readPng(const std::string& path);

struct GifFrame {
    RgbPicture picture;          // the frame alone, through the palette
    int delayCentiseconds = -1;  // from its graphic control extension; -1 when it has none
    int left = 0, top = 0;       // where it sits on the screen
};

struct GifAnimationRead {
    bool read = false;
    int width = 0, height = 0;  // the screen
    int loopCount = -1;         // from the NETSCAPE2.0 extension (0: for ever); -1 when there is none
    std::vector<GifFrame> frames;
};

GifAnimationRead readGif(const std::string& path);

// Pixels at which two pictures of one size differ, and by how much at most
// in one channel.
struct PictureDifference {
    long pixels = 0;
    int largest = 0;
};

PictureDifference compare(const RgbPicture& a, const RgbPicture& b);
