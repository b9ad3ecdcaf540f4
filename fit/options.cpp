#include "fit/options.h"

#include <string_view>
#include <vector>

#include "geometry/up_axis.h"
#include "process/options.h"

namespace {

constexpr const char* usage =
    "Usage: tarvexgl-fit [--up AXIS] [--crease DEG] [--show] INPUT [OUTPUT]\n"
    "       tarvexgl-fit [--up AXIS] [--crease DEG] --shot OUT.png | --turn OUT.gif INPUT\n"
    "\n"
    "Reads the mesh INPUT and writes OUTPUT (standard output when OUTPUT is - or\n"
    "missing) as an OFF triangle mesh that tarvexgl shows whole, large, lit and\n"
    "turning: faces turned to face out, vertices split along sharp edges, and the\n"
    "mesh scaled uniformly and moved so that it stays inside the window at every\n"
    "turntable angle.\n"
    "\n"
    "  --up AXIS     the input axis that points up: x, y, z, -x, -y or -z.\n"
    "                Default: z for OFF and STL, y for every other format.\n"
    "  --crease DEG  faces that meet at more than DEG degrees (between their\n"
    "                normals) are shaded apart, not smoothed together. Default\n"
    "                50; 180 keeps every vertex shared as the file has it.\n"
    "  --show        write into a temporary file and open it in tarvexgl (the\n"
    "                one beside this program, else the one on PATH); the file is\n"
    "                removed when the viewer ends, whose exit status is\n"
    "                returned. Takes no OUTPUT.\n"
    "  --shot OUT.png\n"
    "  --turn OUT.gif\n"
    "                draw the viewer's first frame of the fitted mesh into\n"
    "                OUT.png, or its whole turn into OUT.gif, with no display,\n"
    "                as tarvexgl-shot draws them. Take no OUTPUT.\n"
    "  --help        this text.\n"
    "  --version     the version.\n"
    "\n"
    "Formats: OFF (text and binary, COFF/NOFF/STOFF/4OFF/nOFF, comments,\n"
    "colours, polygons), STL, PLY and OBJ by readers of its own; the other\n"
    "formats of the Open Asset Import Library through that library, run apart\n"
    "with limits on its memory and time (see the manual).\n"
    "\n"
    "Faces are made to agree in winding with the faces they share edges with;\n"
    "a closed part that was inside out is turned; a face listed twice (as\n"
    "double-sided faces are) is kept once. Polygons become triangles that cover\n"
    "them exactly, facing the same way. Faces of fewer than three corners\n"
    "(points and edges) have no surface and are dropped; so are vertices no\n"
    "face uses. A polygon of more than 2000 corners that crosses or touches\n"
    "itself is refused.\n"
    "\n"
    "When faces were turned or merged, one line on standard error says so. On\n"
    "input that cannot be read, or holds no face, one line on standard error and\n"
    "exit status 1; OUTPUT is then left as it was. Usage errors: status 2. With\n"
    "--shot or --turn, no OpenGL without a display: status 3.\n";

constexpr OptionRule rules[] = {
    {"--show", ""},
    {"--shot", "an output file"},
    {"--turn", "an output file"},
    {"--up", "an axis: x, y, z, -x, -y or -z"},
    {"--crease", "an angle in degrees, from 0 to 180"},
};

std::optional<int> takeOption(std::string_view name, std::string_view value, Options& options) {
    if (name == "--show") {
        options.show = true;
    } else if (name == "--shot" || name == "--turn") {
        if (value.empty()) return usageError({name, " needs an output file"});
        if (options.picture) return usageError({"--shot and --turn do not go together"});
        options.picture =
            PictureRequest{name == "--turn" ? PictureKind::turn : PictureKind::frame, {}, 0, std::string(value)};
    } else if (name == "--up") {
        options.fit.up = parseUpAxis(value);
        if (!options.fit.up) return usageError({"--up takes x, y, z, -x, -y or -z, not '", value, "'"});
    } else if (name == "--crease") {
        const std::optional<double> degrees = parseNumber(value);
        if (!degrees || *degrees < 0 || *degrees > 180)
            return usageError({"--crease takes degrees from 0 to 180, not '", value, "'"});
        options.fit.creaseDegrees = *degrees;
    }
    return std::nullopt;
}

}  // namespace

std::optional<int> readOptions(int argc, char** argv, Options& options) {
    std::vector<std::string> files;
    const auto take = [&](std::string_view name, std::string_view value) { return takeOption(name, value, options); };
    if (const std::optional<int> status = readArguments(argc, argv, usage, rules, take, files)) return status;
    if (files.empty()) return usageError({"no INPUT given"});
    const bool drawn = options.picture.has_value();
    if (options.show && drawn) return usageError({"--show, --shot and --turn do not go together"});
    if (files.size() > (options.show || drawn ? 1U : 2U))
        return usageError({options.show ? "--show takes no OUTPUT"
                           : drawn      ? "--shot and --turn take no OUTPUT"
                                        : "more than INPUT and OUTPUT given"});
    options.input = files[0];
    if (files.size() == 2) options.output = files[1];
    return std::nullopt;
}
