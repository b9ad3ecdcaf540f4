// tarvexgl-shot: the viewer's frames as pictures, with no display: one frame
// as PNG, a whole turn as an animated GIF, or a file manager's thumbnail.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "mesh/model.h"
#include "mesh/output_file.h"
#include "mesh/view.h"
#include "rendering/gif_file.h"
#include "rendering/offscreen.h"
#include "rendering/png_file.h"
#include "rendering/viewer_frame.h"
#include "shot/fit_child.h"
#include "viewer/viewer.h"

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
    "                    tarvexgl-fit reads, fitted by it: the frame at 10\n"
    "                    degrees, SIZE wide, centred on the viewer's background.\n"
    "  --help            this text.\n"
    "  --version         the version.\n"
    "\n"
    "Exit status: 0 written; 255 the mesh cannot be loaded (the viewer's own\n"
    "message), or tarvexgl-fit refused it; 1 OUT cannot be written, or\n"
    "tarvexgl-fit cannot be run; 2 usage; 3 no OpenGL without a display.\n";

constexpr int pictureWidth = viewWidth, pictureHeight = viewHeight;  // the viewer's window
constexpr int turnFrames = turntableTicksPerTurn;
constexpr int turnFrameCentiseconds = turntableTickMilliseconds / 10;  // GIF delays count hundredths
constexpr int largestThumbnail = 4096;

enum class Mode { picture, turn, thumbnail };

struct Request {
    Mode mode = Mode::picture;
    bool angleGiven = false;
    double angle = 0;
    int thumbnailSize = 0;
    std::string mesh, output;
};

int usageError(const std::string& what) {
    std::fprintf(stderr, "tarvexgl-shot: %s (see tarvexgl-shot --help)\n", what.c_str());
    return 2;
}

bool parseNumber(std::string_view text, double& value) {
    const std::string copy(text);
    char* end = nullptr;
    errno = 0;
    value = std::strtod(copy.c_str(), &end);
    return !copy.empty() && *end == '\0' && errno == 0 && std::isfinite(value);
}

bool parseSize(std::string_view text, int& size) {
    size = 0;
    for (const char c : text) {
        if (c < '0' || c > '9' || size > largestThumbnail) return false;
        size = size * 10 + (c - '0');
    }
    return size >= 1 && size <= largestThumbnail;
}

// An option's value, given as --name=VALUE or as the next argument.
bool optionValue(std::string_view arg, std::string_view name, int argc, char** argv, int& i, std::string_view& value) {
    if (arg.size() > name.size() && arg[name.size()] == '=') {
        value = arg.substr(name.size() + 1);
        return true;
    }
    if (i + 1 == argc) return false;
    value = argv[++i];
    return true;
}

// Fills `request`; returns -1 to go on, else the status to exit with.
int parseArguments(int argc, char** argv, Request& request) {
    std::vector<std::string> files;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const std::string_view name = arg.substr(0, arg.find('='));
        std::string_view value;
        if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
            files.emplace_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(usage, stdout);
            return 0;
        } else if (arg == "--version") {
            std::puts("tarvexgl-shot " TARVEXGL_VERSION);
            return 0;
        } else if (arg == "--turn") {
            if (request.mode == Mode::thumbnail) return usageError("--turn and --thumbnail do not go together");
            request.mode = Mode::turn;
        } else if (name == "--angle") {
            if (!optionValue(arg, name, argc, argv, i, value)) return usageError("--angle needs a number of degrees");
            if (!parseNumber(value, request.angle))
                return usageError("--angle takes a number of degrees, not '" + std::string(value) + "'");
            request.angleGiven = true;
        } else if (name == "--thumbnail") {
            if (request.mode == Mode::turn) return usageError("--turn and --thumbnail do not go together");
            if (!optionValue(arg, name, argc, argv, i, value)) return usageError("--thumbnail needs a size");
            if (!parseSize(value, request.thumbnailSize))
                return usageError("--thumbnail takes a size from 1 to 4096 pixels, not '" + std::string(value) + "'");
            request.mode = Mode::thumbnail;
        } else {
            return usageError("unknown option '" + std::string(arg) + "'");
        }
    }
    if (request.mode != Mode::picture && request.angleGiven)
        return usageError("--angle goes with a single picture, not with --turn or --thumbnail");
    if (files.size() < 2) return usageError("a mesh and an output file are needed");
    if (files.size() > 2) return usageError("more than a mesh and an output file given");
    request.mesh = files[0];
    request.output = files[1];
    return -1;
}

int writeOutput(const std::string& path, const std::string& bytes) {
    std::string error;
    if (writeOutputFile(
            path, [&](int fd) { return writeAll(fd, bytes); }, error))
        return 0;
    std::fprintf(stderr, "tarvexgl-shot: %s: %s\n", path.c_str(), error.c_str());
    return 1;
}

// The viewer's own start-up without the window and the prompt: an OpenGL
// context, the viewer's scene state, and the mesh through the viewer's
// load, its messages and its status included.
int startScene(int width, int height, const std::string& mesh, Offscreen& offscreen) {
    std::string error;
    if (!openOffscreen(width, height, offscreen, error)) {
        std::fprintf(stderr, "tarvexgl-shot: cannot draw without a display: %s\n", error.c_str());
        return 3;
    }
    initSceneState();
    theModel.emplace(mesh.c_str());
    return 0;
}

int savePng(const Picture& picture, const std::string& output) {
    std::string png, error;
    if (!encodePng(picture, png, error)) {
        std::fprintf(stderr, "tarvexgl-shot: %s: %s\n", output.c_str(), error.c_str());
        return 1;
    }
    return writeOutput(output, png);
}

int makePicture(const Request& request, Offscreen& offscreen) {
    if (const int status = startScene(pictureWidth, pictureHeight, request.mesh, offscreen)) return status;
    setUpCamera(pictureWidth, pictureHeight);
    if (request.angleGiven) {
        spinAngle = request.angle;
    } else {
        advanceSpinAngle();  // the first frame the viewer draws
    }
    return savePng(drawFrame(offscreen, 0), request.output);
}

int makeTurn(const Request& request, Offscreen& offscreen) {
    if (const int status = startScene(pictureWidth, pictureHeight, request.mesh, offscreen)) return status;
    setUpCamera(pictureWidth, pictureHeight);
    GifAnimation animation;
    std::string gif, error;
    bool ok = startGif(animation, pictureWidth, pictureHeight, error);
    for (int frame = 0; ok && frame < turnFrames; ++frame) {
        advanceSpinAngle();  // the viewer's timer, tick by tick
        ok = addGifFrame(animation, drawFrame(offscreen, 0), turnFrameCentiseconds, error);
    }
    if (!ok) abandonGif(animation);
    if (!ok || !finishGif(animation, gif, error)) {
        std::fprintf(stderr, "tarvexgl-shot: %s: %s\n", request.output.c_str(), error.c_str());
        return 1;
    }
    return writeOutput(request.output, gif);
}

// The fitted mesh's frame, 4:3 as in the viewer's window, as wide as the
// thumbnail and centred in it; above and below it the background.
int makeThumbnail(const Request& request, Offscreen& offscreen) {
    int fitted = -1;
    std::string error;
    if (const int status = fitIntoTemporaryFile(request.mesh, fitted, error)) {
        if (!error.empty()) std::fprintf(stderr, "tarvexgl-shot: %s: %s\n", request.mesh.c_str(), error.c_str());
        return status;
    }
    const int size = request.thumbnailSize;
    const int frameHeight = (size * 3 + 2) / 4;
    if (const int status = startScene(size, size, "/dev/fd/" + std::to_string(fitted), offscreen)) return status;
    setUpCamera(size, frameHeight);
    advanceSpinAngle();
    return savePng(drawFrame(offscreen, (size - frameHeight) / 2), request.output);
}

}  // namespace

int main(int argc, char** argv) {
    Request request;
    if (const int status = parseArguments(argc, argv, request); status >= 0) return status;
    Offscreen offscreen;
    int status = 0;
    switch (request.mode) {
        case Mode::picture: status = makePicture(request, offscreen); break;
        case Mode::turn: status = makeTurn(request, offscreen); break;
        case Mode::thumbnail: status = makeThumbnail(request, offscreen); break;
    }
    closeOffscreen(offscreen);
    return status;
}
