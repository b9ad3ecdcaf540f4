#include "picture_files.h"

#include <gif_lib.h>
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

RgbPicture readPng(const std::string& path) {
    RgbPicture picture;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return picture;
    image.format = PNG_FORMAT_RGB;
    std::vector<unsigned char> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return picture;
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
    picture.rgb = std::move(rgb);
    return picture;
}

namespace {

void readExtensions(const ExtensionBlock* blocks, int count, GifAnimationRead& animation, GifFrame& frame) {
    for (int i = 0; i < count; ++i) {
        const ExtensionBlock& block = blocks[i];
        if (block.Function == GRAPHICS_EXT_FUNC_CODE) {
            GraphicsControlBlock timing{};
            if (DGifExtensionToGCB(static_cast<std::size_t>(block.ByteCount), block.Bytes, &timing) == GIF_OK)
                frame.delayCentiseconds = timing.DelayTime;
        } else if (block.Function == APPLICATION_EXT_FUNC_CODE && block.ByteCount == 11 &&
                   std::memcmp(block.Bytes, "NETSCAPE2.0", 11) == 0 && i + 1 < count &&
                   blocks[i + 1].Function == CONTINUE_EXT_FUNC_CODE && blocks[i + 1].ByteCount == 3 &&
                   blocks[i + 1].Bytes[0] == 1) {
            animation.loopCount = blocks[i + 1].Bytes[1] | blocks[i + 1].Bytes[2] << 8;
        }
    }
}

}  // namespace

GifAnimationRead readGif(const std::string& path) {
    GifAnimationRead animation;
    int code = 0;
    GifFileType* gif = DGifOpenFileName(path.c_str(), &code);
    if (!gif) return animation;
    if (DGifSlurp(gif) == GIF_OK) {
        animation.read = true;
        animation.width = gif->SWidth;
        animation.height = gif->SHeight;
        for (int i = 0; i < gif->ImageCount; ++i) {
            const SavedImage& image = gif->SavedImages[i];
            const ColorMapObject* palette = image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
            GifFrame frame;
            frame.left = image.ImageDesc.Left;
            frame.top = image.ImageDesc.Top;
            frame.picture.width = image.ImageDesc.Width;
            frame.picture.height = image.ImageDesc.Height;
            const std::size_t pixels = std::size_t(image.ImageDesc.Width) * std::size_t(image.ImageDesc.Height);
            frame.picture.rgb.resize(pixels * 3);
            for (std::size_t p = 0; p < pixels; ++p) {
                const GifPixelType index = image.RasterBits[p];
                const GifColorType colour =
                    palette && index < palette->ColorCount ? palette->Colors[index] : GifColorType{0, 0, 0};
                frame.picture.rgb[p * 3] = colour.Red;
                frame.picture.rgb[p * 3 + 1] = colour.Green;
                frame.picture.rgb[p * 3 + 2] = colour.Blue;
            }
            readExtensions(image.ExtensionBlocks, image.ExtensionBlockCount, animation, frame);
            animation.frames.push_back(std::move(frame));
        }
        // Extensions after the last frame (none expected) would sit here.
        GifFrame trailing;
        readExtensions(gif->ExtensionBlocks, gif->ExtensionBlockCount, animation, trailing);
    }
    DGifCloseFile(gif, &code);
    return animation;
}

PictureDifference compare(const RgbPicture& a, const RgbPicture& b) {
    PictureDifference difference;
    const std::size_t pixels = std::min(a.rgb.size(), b.rgb.size()) / 3;
    for (std::size_t p = 0; p < pixels; ++p) {
        int largest = 0;
        for (int c = 0; c < 3; ++c) largest = std::max(largest, std::abs(a.rgb[p * 3 + c] - b.rgb[p * 3 + c]));
        if (largest > 0) ++difference.pixels;
        difference.largest = std::max(difference.largest, largest);
    }
    return difference;
}
