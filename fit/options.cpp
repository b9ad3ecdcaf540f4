#include "fit/options.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string_view>
#include <vector>

#include "process/error_line.h"

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
    "                through tarvexgl-shot (found as tarvexgl is), whose exit\n"
    "                status is returned. Take no OUTPUT.\n"
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
    "exit status 1; OUTPUT is then left as it was. Usage errors: status 2.\n";

int usageError(const std::string& what) {
    printErrorLine({what, " (see tarvexgl-fit --help)"});
    return 2;
}

// A decimal number from 0 to 180, the whole of `text`.
std::optional<double> parseAngle(std::string_view text) {
    double degrees = 0;
    const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), degrees);
    if (problem != std::errc{} || end != text.data() + text.size() || !(degrees >= 0 && degrees <= 180))
        return std::nullopt;
    return degrees;
}

// The arguments one at a time, with the value of an option that takes one
// given either as "--name VALUE" or as "--name=VALUE".
struct ArgumentList {
    int argc;
    char** argv;
    int next = 1;

    bool atEnd() const { return next == argc; }
    std::string_view take() { return argv[next++]; }

    // Whether `arg` is the option `name`; its value (if any) in `value`.
    bool isOptionWithValue(std::string_view arg, std::string_view name, std::optional<std::string_view>& value) {
        if (arg == name) {
            value = atEnd() ? std::nullopt : std::optional(take());
            return true;
        }
        if (arg.size() > name.size() && arg.starts_with(name) && arg[name.size()] == '=') {
            value = arg.substr(name.size() + 1);
            return true;
        }
        return false;
    }
};

}  // namespace

std::optional<int> readOptions(int argc, char** argv, Options& options) {
    ArgumentList args{argc, argv};
    std::vector<std::string> files;
    bool optionsEnded = false;
    while (!args.atEnd()) {
        const std::string_view arg = args.take();
        std::optional<std::string_view> value;
        if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
            files.emplace_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(usage, stdout);
            return 0;
        } else if (arg == "--version") {
            std::puts("tarvexgl-fit " TARVEXGL_VERSION);
            return 0;
        } else if (arg == "--show") {
            options.show = true;
        } else if (args.isOptionWithValue(arg, "--shot", value) || args.isOptionWithValue(arg, "--turn", value)) {
            const bool turn = arg.starts_with("--turn");
            if (!value) return usageError(std::string(turn ? "--turn" : "--shot") + " needs an output file");
            if (!options.picture.output.empty()) return usageError("--shot and --turn do not go together");
            options.picture = {turn, std::string(*value)};
        } else if (args.isOptionWithValue(arg, "--up", value)) {
            if (!value) return usageError("--up needs an axis: x, y, z, -x, -y or -z");
            options.up = parseUpAxis(*value);
            if (!options.up) return usageError("--up takes x, y, z, -x, -y or -z, not '" + std::string(*value) + "'");
        } else if (args.isOptionWithValue(arg, "--crease", value)) {
            if (!value) return usageError("--crease needs an angle in degrees, from 0 to 180");
            const std::optional<double> degrees = parseAngle(*value);
            if (!degrees) return usageError("--crease takes degrees from 0 to 180, not '" + std::string(*value) + "'");
            options.creaseDegrees = *degrees;
        } else {
            return usageError("unknown option '" + std::string(arg) + "'");
        }
    }
    if (files.empty()) return usageError("no INPUT given");
    const bool drawn = !options.picture.output.empty();
    if (options.show && drawn) return usageError("--show, --shot and --turn do not go together");
    if (files.size() > (options.show || drawn ? 1u : 2u))
        return usageError(options.show ? "--show takes no OUTPUT"
                          : drawn      ? "--shot and --turn take no OUTPUT"
                                       : "more than INPUT and OUTPUT given");
    options.input = files[0];
    if (files.size() == 2) options.output = files[1];
    return std::nullopt;
}
