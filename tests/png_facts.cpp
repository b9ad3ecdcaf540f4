// png_facts FILE: prints a PNG's width, its height and how many of its
// pixels differ from its top-left one, which in a thumbnail is the
// background; status 1, and one line on standard error, when FILE is not a
// PNG libpng reads. For the shell tests, which have no PNG decoder of their
// own.
#include <cstdio>
#include <cstring>

#include "picture_files.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: png_facts FILE\n", stderr);
        return 2;
    }
    const RgbPicture picture = readPng(argv[1]);
    if (picture.width == 0) {
        std::fprintf(stderr, "png_facts: %s: not a PNG that libpng reads\n", argv[1]);
        return 1;
    }
    long drawn = 0;
    for (std::size_t at = 0; at < picture.rgb.size(); at += 3)
        if (std::memcmp(&picture.rgb[at], picture.rgb.data(), 3) != 0) ++drawn;
    std::printf("%d %d %ld\n", picture.width, picture.height, drawn);
    return 0;
}
