#include "rendering/mesh_pictures.h"

#include <new>
#include <utility>

#include "mesh/output_file.h"
#include "mesh/view.h"
#include "rendering/gif_file.h"
#include "rendering/offscreen.h"
#include "rendering/png_file.h"
#include "rendering/viewer_frame.h"
#include "viewer/viewer.h"

namespace {

constexpr int centisecondsPerTick = turntableTickMilliseconds / 10;  // GIF delays count hundredths

// The thumbnail's frame keeps the window's shape: as wide as the square,
// its height rounded to the nearest row.
int frameHeightIn(int width) { return (width * viewHeight + viewWidth / 2) / viewWidth; }

bool encodeFrame(const Offscreen& offscreen, std::optional<double> angle, int top, std::string& png,
                 std::string& error) {
    if (angle) {
        spinAngle = *angle;
    } else {
        advanceSpinAngle();  // the first frame the viewer draws
    }
    return encodePng(drawFrame(offscreen, top), png, error);
}

bool encodeTurn(const Offscreen& offscreen, std::string& gif, std::string& error) {
    GifAnimation animation;
    bool ok = startGif(animation, viewWidth, viewHeight, error);
    for (int tick = 0; ok && tick < turntableTicksPerTurn; ++tick) {
        advanceSpinAngle();  // the viewer's timer, tick by tick
        ok = addGifFrame(animation, drawFrame(offscreen, 0), centisecondsPerTick, error);
    }
    if (!ok) abandonGif(animation);
    return ok && finishGif(animation, gif, error);
}

// The picture's bytes, drawn in `offscreen` with `model` as the viewer's.
bool encodePicture(const Offscreen& offscreen, const PictureRequest& request, std::string& bytes, std::string& error) {
    spinAngle = 0;  // where the viewer's turntable starts
    switch (request.kind) {
        case PictureKind::frame:
            setUpCamera(viewWidth, viewHeight);
            return encodeFrame(offscreen, request.angle, 0, bytes, error);
        case PictureKind::turn: setUpCamera(viewWidth, viewHeight); return encodeTurn(offscreen, bytes, error);
        case PictureKind::thumbnail: {
            const int size = request.thumbnailSize, frameHeight = frameHeightIn(size);
            setUpCamera(size, frameHeight);
            return encodeFrame(offscreen, std::nullopt, (size - frameHeight) / 2, bytes, error);
        }
    }
    return false;
}

}  // namespace

int drawPicture(Model&& model, const PictureRequest& request, std::string& error) {
    const bool square = request.kind == PictureKind::thumbnail;
    const int width = square ? request.thumbnailSize : viewWidth, height = square ? request.thumbnailSize : viewHeight;
    Offscreen offscreen;
    if (!openOffscreen(width, height, offscreen, error)) {
        error = "cannot draw without a display: " + error;
        return 3;
    }
    // The viewer's own start-up without the window and the prompt: its scene
    // state, then its mesh.
    initSceneState();
    theModel.emplace(std::move(model));
    std::string bytes;
    bool drawn = false;
    try {
        drawn = encodePicture(offscreen, request, bytes, error);
    } catch (const std::bad_alloc&) {
        error = "not enough memory for the picture";
    }
    theModel.reset();
    closeOffscreen(offscreen);
    if (!drawn) {
        error = request.output + ": " + error;
        return 1;
    }
    if (!writeOutputFile(
            request.output, [&](int fd) { return writeAll(fd, bytes); }, error)) {
        error = request.output + ": " + error;
        return 1;
    }
    return 0;
}
