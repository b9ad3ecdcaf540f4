// tarvexgl-shot's pictures against the viewer's own window under Xvfb with
// the same Mesa: the example meshes loaded through the viewer's prompt,
// drawn by its reshape and display at three turntable angles, read back from
// the X server, and compared byte for byte with what tarvexgl-shot writes
// for the same mesh and angle with no display at all. Needs an X display
// (make test starts Xvfb); tarvexgl-shot runs with DISPLAY unset.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "picture_files.h"
#include "run_process.h"
#include "temp_file.h"
#include "window_fixture.h"

// clang-format off
#include <GL/glx.h>  // last: its X macros (None, Bool, Status) break other headers
// clang-format on

namespace {

constexpr int width = 800, height = 600;

// The window as the X server holds it, the top row first.
RgbPicture windowPicture() {
    glFinish();
    Display* display = glXGetCurrentDisplay();
    const auto window = static_cast<Window>(glXGetCurrentDrawable());
    XSync(display, False);
    RgbPicture picture;
    XImage* image = XGetImage(display, window, 0, 0, width, height, AllPlanes, ZPixmap);
    if (!image) return picture;
    picture.width = width;
    picture.height = height;
    picture.rgb.resize(std::size_t{width} * height * 3);
    const auto channel = [](unsigned long pixel, unsigned long mask) {
        int shift = 0;
        while (mask && !(mask & 1)) mask >>= 1, ++shift;
        return static_cast<unsigned char>((pixel >> shift) & mask);
    };
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            unsigned char* out = &picture.rgb[(std::size_t(y) * width + x) * 3];
            out[0] = channel(pixel, image->red_mask);
            out[1] = channel(pixel, image->green_mask);
            out[2] = channel(pixel, image->blue_mask);
        }
    XDestroyImage(image);
    return picture;
}

using ShotWindow = ViewerWindowTest;

TEST_F(ShotWindow, PicturesAreTheWindowsByteForByte) {
    const TempFolder folder;
    ASSERT_FALSE(folder.path.empty());
    for (const char* example : {"vase.off", "knot.off"}) {
        const std::string mesh = std::string(EXAMPLES_DIR) + "/" + example;
        loadThroughPrompt(mesh);
        for (const char* angle : {"10", "90", "250"}) {
            SCOPED_TRACE(std::string(example) + " at " + angle + " degrees");
            drawAt(std::atof(angle), width, height);
            const RgbPicture window = windowPicture();
            ASSERT_EQ(window.width, width);
            const std::string png = folder.path + "shot.png";
            const ProcessResult shot = runProcess(
                {"/usr/bin/env", "-u", "DISPLAY", TARVEXGL_SHOT_BINARY, "--angle", angle, mesh, png}, "", 60);
            ASSERT_EQ(shot.exitStatus, 0) << shot.err;
            const RgbPicture picture = readPng(png);
            ASSERT_EQ(picture.width, width);
            ASSERT_EQ(picture.height, height);
            const PictureDifference difference = compare(window, picture);
            EXPECT_EQ(difference.pixels, 0) << "pixels differ, by up to " << difference.largest << " grey levels";
        }
    }
}

}  // namespace
