#include "rendering/gif_file.h"

#include <cstddef>
#include <new>
#include <vector>

namespace {

int appendBytes(GifFileType* gif, const GifByteType* data, int length) {
    auto* bytes = static_cast<std::string*>(gif->UserData);
    try {
        bytes->append(reinterpret_cast<const char*>(data), static_cast<std::size_t>(length));
    } catch (const std::bad_alloc&) {
        return 0;  // giflib reports a write error
    }
    return length;
}

std::string gifFailure(const char* what, int code) {
    const char* reason = GifErrorString(code);
    return std::string(what) + ": " + (reason ? reason : "unknown error");
}

// The application extension browsers read as "repeat for ever".
bool putLoopForever(GifFileType* gif) {
    static const GifByteType application[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
    static const GifByteType loopForever[] = {1, 0, 0};  // sub-block 1, repeat count 0 (little-endian)
    return EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
           EGifPutExtensionBlock(gif, sizeof application, application) == GIF_OK &&
           EGifPutExtensionBlock(gif, sizeof loopForever, loopForever) == GIF_OK &&
           EGifPutExtensionTrailer(gif) == GIF_OK;
}

}  // namespace

bool startGif(GifAnimation& animation, int width, int height, std::string& error) {
    animation = GifAnimation{};
    animation.width = width;
    animation.height = height;
    int code = 0;
    animation.gif = EGifOpen(&animation.bytes, appendBytes, &code);
    if (!animation.gif) {
        error = gifFailure("cannot start the GIF", code);
        return false;
    }
    ColorMapObject* greys = GifMakeMapObject(256, nullptr);
    if (!greys) {
        error = "cannot start the GIF: not enough memory";
        abandonGif(animation);
        return false;
    }
    for (int i = 0; i < 256; ++i) {
        const auto level = static_cast<GifByteType>(i);
        greys->Colors[i] = GifColorType{level, level, level};
    }
    EGifSetGifVersion(animation.gif, true);  // GIF89a: frame delays and looping are its extensions
    const bool ok =
        EGifPutScreenDesc(animation.gif, width, height, 8, 0, greys) == GIF_OK && putLoopForever(animation.gif);
    GifFreeMapObject(greys);
    if (!ok) {
        error = gifFailure("cannot start the GIF", animation.gif->Error);
        abandonGif(animation);
    }
    return ok;
}

bool addGifFrame(GifAnimation& animation, const Picture& frame, int delayCentiseconds, std::string& error) {
    if (frame.width != animation.width || frame.height != animation.height) {
        error = "a frame is not the animation's size";
        return false;
    }
    const auto width = static_cast<std::size_t>(frame.width);
    std::vector<GifPixelType> row(width);
    GraphicsControlBlock timing{};
    timing.DisposalMode = DISPOSAL_UNSPECIFIED;  // every frame covers the whole picture
    timing.DelayTime = delayCentiseconds;
    timing.TransparentColor = NO_TRANSPARENT_COLOR;
    GifByteType extension[4];
    const auto extensionLength = static_cast<int>(EGifGCBToExtension(&timing, extension));
    if (EGifPutExtension(animation.gif, GRAPHICS_EXT_FUNC_CODE, extensionLength, extension) != GIF_OK ||
        EGifPutImageDesc(animation.gif, 0, 0, frame.width, frame.height, false, nullptr) != GIF_OK) {
        error = gifFailure("cannot add a frame", animation.gif->Error);
        return false;
    }
    for (int y = 0; y < frame.height; ++y) {
        const unsigned char* pixel = frame.rgb.data() + static_cast<std::size_t>(y) * width * 3;
        for (std::size_t x = 0; x < width; ++x, pixel += 3) {
            if (pixel[0] != pixel[1] || pixel[0] != pixel[2]) {
                error = "a frame is not grey: pixel (" + std::to_string(x) + ", " + std::to_string(y) + ")";
                return false;
            }
            row[x] = pixel[0];
        }
        if (EGifPutLine(animation.gif, row.data(), frame.width) != GIF_OK) {
            error = gifFailure("cannot add a frame", animation.gif->Error);
            return false;
        }
    }
    return true;
}

bool finishGif(GifAnimation& animation, std::string& gif, std::string& error) {
    int code = 0;
    const bool ok = EGifCloseFile(animation.gif, &code) == GIF_OK;
    animation.gif = nullptr;
    if (!ok) {
        error = gifFailure("cannot end the GIF", code);
        animation.bytes.clear();
        return false;
    }
    gif = std::move(animation.bytes);
    return true;
}

void abandonGif(GifAnimation& animation) {
    if (animation.gif) EGifCloseFile(animation.gif, nullptr);
    animation = GifAnimation{};
}
