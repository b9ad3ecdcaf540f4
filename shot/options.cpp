#include "shot/options.h"

#include <string_view>
#include <vector>

#include "process/options.h"

namespace {

constexpr const char* usage =
    "Usage: tarvexgl-shot [--angle DEG] MESH.off OUT.png\n"
    "       tarvexgl-shot --turn MESH.off OUT.gif\n"
    "       tarvexgl-shot --thumbnail SIZE INPUT OUT.png\n"
    "\n"
    "Draws what the tarvexgl viewer shows, with no display, through Mesa's EGL:\n"
    "the same mesh, loaded the same way, in the same 800 x 600 frame, pixel for\n"
    "pixel. OUT - writes to standard output.\n"
    "\n"
    "  --angle DEG       the frame at this turntable angle in degrees.\n"
    "                    Default: 10, the viewer's first frame.\n"
    "  --turn            the 36 frames of one turn (10, 20, ..., 360 degrees),\n"
    "                    100 ms each, as a GIF that loops.\n"
    "  --thumbnail SIZE  a SIZE x SIZE picture (1 to 4096) of any mesh\n"
    "                    tarvexgl-fit reads, fitted as it fits it: the frame at\n"
    "                    10 degrees, SIZE wide, centred on the viewer's\n"
    "                    background.\n"
    "  --help            this text.\n"
    "  --version         the version.\n"
    "\n"
    "Exit status: 0 written; 255 the mesh cannot be loaded (the viewer's own\n"
    "message), or with --thumbnail cannot be read or fitted; 1 OUT cannot be\n"
    "written; 2 usage; 3 no OpenGL without a display.\n";

constexpr int largestThumbnail = 4096;

constexpr OptionRule rules[] = {
    {"--turn", ""},
    {"--angle", "a number of degrees"},
    {"--thumbnail", "a size"},
};

std::optional<int> takeOption(std::string_view name, std::string_view value, PictureRequest& picture) {
    const bool turnAndThumbnail = (name == "--turn" && picture.kind == PictureKind::thumbnail) ||
                                  (name == "--thumbnail" && picture.kind == PictureKind::turn);
    if (turnAndThumbnail) return usageError({"--turn and --thumbnail do not go together"});
    if (name == "--turn") {
        picture.kind = PictureKind::turn;
    } else if (name == "--angle") {
        picture.angle = parseNumber(value);
        if (!picture.angle) return usageError({"--angle takes a number of degrees, not '", value, "'"});
    } else if (name == "--thumbnail") {
        const std::optional<int> size = parseInteger(value);
        if (!size || *size < 1 || *size > largestThumbnail)
            return usageError({"--thumbnail takes a size from 1 to 4096 pixels, not '", value, "'"});
        picture.kind = PictureKind::thumbnail;
        picture.thumbnailSize = *size;
    }
    return std::nullopt;
}

}  // namespace

std::optional<int> readOptions(int argc, char** argv, Options& options) {
    std::vector<std::string> files;
    const auto take = [&](std::string_view name, std::string_view value) {
        return takeOption(name, value, options.picture);
    };
    if (const std::optional<int> status = readArguments(argc, argv, usage, rules, take, files)) return status;
    if (options.picture.kind != PictureKind::frame && options.picture.angle)
        return usageError({"--angle goes with a single picture, not with --turn or --thumbnail"});
    if (files.size() < 2) return usageError({"a mesh and an output file are needed"});
    if (files.size() > 2) return usageError({"more than a mesh and an output file given"});
    options.mesh = files[0];
    options.picture.output = files[1];
    return std::nullopt;
}
