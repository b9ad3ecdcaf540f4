#include "rendering/png_file.h"

#include <png.h>

bool encodePng(const Picture& picture, std::string& png, std::string& error) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(picture.width);
    image.height = static_cast<png_uint_32>(picture.height);
    image.format = PNG_FORMAT_RGB;
    const png_int_32 stride = picture.width * 3;
    // First the size, then the bytes.
    png_alloc_size_t size = 0;
    if (png_image_write_to_memory(&image, nullptr, &size, 0, picture.rgb.data(), stride, nullptr)) {
        png.resize(size);
        if (png_image_write_to_memory(&image, png.data(), &size, 0, picture.rgb.data(), stride, nullptr)) {
            png.resize(size);
            return true;
        }
    }
    error = std::string("cannot make the PNG: ") + image.message;
    png_image_free(&image);
    return false;
}
