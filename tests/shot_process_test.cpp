// tarvexgl-shot run as a user and as a file manager run it, with no display
// (DISPLAY unset for every run): the animated turn, bad input of every kind,
// the thumbnailer entry with its %i %o %s filled in, and the MIME types and
// desktop entry that make a file manager use them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "picture_files.h"
#include "run_process.h"
#include "temp_file.h"

namespace {

const std::string shot = TARVEXGL_SHOT_BINARY;
const std::string examples = EXAMPLES_DIR;
constexpr double deadline = 120;  // only catches a hang: the sanitizer build is many times slower
constexpr int background = 26;    // glClearColor(0.1, ...) in an 8-bit channel: 25.5

// `program` (a path) with DISPLAY unset and `environment` (NAME=value) added.
ProcessResult runWithoutDisplay(const std::string& program, const std::vector<std::string>& args,
                                const std::vector<std::string>& environment = {}) {
    std::vector<std::string> argv = {"/usr/bin/env", "-u", "DISPLAY"};
    argv.insert(argv.end(), environment.begin(), environment.end());
    argv.push_back(program);
    argv.insert(argv.end(), args.begin(), args.end());
    return runProcess(argv, "", deadline);
}

bool exists(const std::string& path) { return std::filesystem::exists(path); }

// The keys of a desktop-style file ("[Group]" lines left out).
std::map<std::string, std::string> readKeyFile(const std::string& path) {
    std::map<std::string, std::string> keys;
    std::istringstream lines(readTextFile(path));
    for (std::string line; std::getline(lines, line);) {
        const std::size_t equals = line.find('=');
        if (!line.empty() && line[0] != '[' && line[0] != '#' && equals != std::string::npos)
            keys[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return keys;
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; std::getline(in, word, separator);)
        if (!word.empty()) words.push_back(word);
    return words;
}

TEST(Shot, TurnIsThirtySixFramesOf100MsThatLoopAndItsNinthIsNinetyDegrees) {
    const TempFolder folder;
    const std::string mesh = examples + "/knot.off";
    const ProcessResult turn = runWithoutDisplay(shot, {"--turn", mesh, folder.path + "turn.gif"});
    ASSERT_EQ(turn.exitStatus, 0) << turn.err;
    const ProcessResult at90 = runWithoutDisplay(shot, {"--angle", "90", mesh, folder.path + "90.png"});
    ASSERT_EQ(at90.exitStatus, 0) << at90.err;
    const ProcessResult first = runWithoutDisplay(shot, {mesh, folder.path + "first.png"});
    ASSERT_EQ(first.exitStatus, 0) << first.err;

    const GifAnimationRead gif = readGif(folder.path + "turn.gif");
    ASSERT_TRUE(gif.read);
    EXPECT_EQ(gif.width, 800);
    EXPECT_EQ(gif.height, 600);
    EXPECT_EQ(gif.loopCount, 0) << "0: for ever";
    ASSERT_EQ(gif.frames.size(), 36u);
    for (std::size_t i = 0; i < gif.frames.size(); ++i) {
        const GifFrame& frame = gif.frames[i];
        EXPECT_EQ(frame.delayCentiseconds, 10) << "frame " << i + 1;
        EXPECT_TRUE(frame.left == 0 && frame.top == 0 && frame.picture.width == 800 && frame.picture.height == 600)
            << "frame " << i + 1 << " covers the screen";
    }
    const PictureDifference ninth = compare(gif.frames[8].picture, readPng(folder.path + "90.png"));
    EXPECT_EQ(ninth.pixels, 0) << "the 9th frame against --angle 90, by up to " << ninth.largest;
    const PictureDifference firstFrame = compare(gif.frames[0].picture, readPng(folder.path + "first.png"));
    EXPECT_EQ(firstFrame.pixels, 0) << "the 1st frame against the default angle, by up to " << firstFrame.largest;
    EXPECT_GT(compare(gif.frames[0].picture, gif.frames[8].picture).pixels, 1000) << "the knot turns";
}

TEST(Shot, BadInputGivesOneLineAndAStatusAndNoPicture) {
    const TempFolder folder;
    const std::string dir = folder.path;
    const std::string vase = examples + "/vase.off";
    folder.write("bad.off", "OFF 3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 7\n");
    std::filesystem::create_directory(dir + "folder");
    struct Case {
        const char* what;
        std::vector<std::string> args, environment;
        int status;
        std::string line;  // the whole line, or its start when it ends in "..."
    };
    const std::vector<Case> cases = {
        {"missing mesh",
         {dir + "missing.off", dir + "out.png"},
         {},
         255,
         "tarvexgl-shot: Model Constructor: Couldn't open " + dir + "missing.off"},
        {"malformed mesh",
         {dir + "bad.off", dir + "out.png"},
         {},
         255,
         "tarvexgl-shot: Model Constructor: " + dir +
             "bad.off:5: face 0 of 1: expected a vertex index in 0..2, found '7'"},
        {"malformed mesh, turn",
         {"--turn", dir + "bad.off", dir + "out.png"},
         {},
         255,
         "tarvexgl-shot: Model Constructor: " + dir +
             "bad.off:5: face 0 of 1: expected a vertex index in 0..2, found '7'"},
        {"output in no folder",
         {vase, dir + "no/out.png"},
         {},
         1,
         "tarvexgl-shot: " + dir + "no/out.png: cannot create a file beside it: No such file or directory"},
        {"output is a folder",
         {vase, dir + "folder"},
         {},
         1,
         "tarvexgl-shot: " + dir + "folder: cannot write it: Is a directory"},
        {"no EGL vendor",
         {vase, dir + "out.png"},
         {"__EGL_VENDOR_LIBRARY_DIRS=" + dir + "none"},
         3,
         "tarvexgl-shot: cannot draw without a display: EGL has no platform without a display ..."},
        {"no OpenGL driver",
         {vase, dir + "out.png"},
         {"LIBGL_DRIVERS_PATH=" + dir + "none"},
         3,
         "tarvexgl-shot: cannot draw without a display: EGL cannot be initialised without a display ..."},
        {"no framebuffer objects",
         {vase, dir + "out.png"},
         {"MESA_EXTENSION_OVERRIDE=-GL_ARB_framebuffer_object"},
         3,
         "tarvexgl-shot: cannot draw without a display: OpenGL 2.1 ..."},
        {"no arguments", {}, {}, 2, "tarvexgl-shot: a mesh and an output file are needed (see tarvexgl-shot --help)"},
        {"angle not a number",
         {"--angle", "ten", vase, dir + "out.png"},
         {},
         2,
         "tarvexgl-shot: --angle takes a number of degrees, not 'ten' (see tarvexgl-shot --help)"},
        {"thumbnail of no size",
         {"--thumbnail", "0", vase, dir + "out.png"},
         {},
         2,
         "tarvexgl-shot: --thumbnail takes a size from 1 to 4096 pixels, not '0' (see tarvexgl-shot --help)"},
        {"thumbnail of a size with a point",
         {"--thumbnail=25.6e1", vase, dir + "out.png"},
         {},
         2,
         "tarvexgl-shot: --thumbnail takes a size from 1 to 4096 pixels, not '25.6e1' (see tarvexgl-shot --help)"},
        {"thumbnail of a mesh that cannot be fitted",
         {"--thumbnail", "64", dir + "bad.off", dir + "out.png"},
         {},
         255,
         "tarvexgl-shot: " + dir + "bad.off:5: face 0 of 1: expected a vertex index in 0..2, found '7'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ProcessResult r = runWithoutDisplay(shot, c.args, c.environment);
        EXPECT_EQ(r.exitStatus, c.status);
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        if (c.line.ends_with("...")) {
            EXPECT_TRUE(r.err.starts_with(c.line.substr(0, c.line.size() - 3))) << r.err;
        } else {
            EXPECT_EQ(r.err, c.line + "\n");
        }
        EXPECT_EQ(r.out, "");
        EXPECT_FALSE(exists(dir + "out.png"));
    }
}

// Names are the user's, and may hold anything: every line stays one line,
// its control characters shown as \xNN.
TEST(Shot, ALineNamingAPathWithANewlineAndAnEscapeIsOneLine) {
    const TempFolder folder;
    const std::string odd = folder.path + "odd\nname\x1b[2J.off";
    const std::string shown = folder.path + "odd\\x0aname\\x1b[2J.off";
    const struct {
        const char* what;
        std::vector<std::string> args;
        int status;
        std::string line;
    } cases[] = {
        {"mesh", {odd, folder.path + "out.png"}, 255, "tarvexgl-shot: Model Constructor: Couldn't open " + shown},
        {"thumbnail",
         {"--thumbnail", "64", odd, folder.path + "out.png"},
         255,
         "tarvexgl-shot: " + shown + ": cannot open: No such file or directory"},
        {"output",
         {examples + "/vase.off", odd + "/out.png"},
         1,
         "tarvexgl-shot: " + shown + "/out.png: cannot create a file beside it: No such file or directory"},
        {"option",
         {"--angle", "\x1b]0;title\x07", odd, folder.path + "out.png"},
         2,
         "tarvexgl-shot: --angle takes a number of degrees, not '\\x1b]0;title\\x07' (see tarvexgl-shot --help)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ProcessResult r = runWithoutDisplay(shot, c.args);
        EXPECT_EQ(r.exitStatus, c.status);
        EXPECT_EQ(r.err, c.line + "\n");
        EXPECT_FALSE(exists(folder.path + "out.png"));
    }
}

// The entry's Exec with %i %o %s filled in, each a word of its own, its
// program taken from the build folder instead of PATH.
std::vector<std::string> thumbnailerCommand(const std::string& input, const std::string& output, int size) {
    const auto entry = readKeyFile(std::string(SHOT_SOURCE_DIR) + "/tarvexgl.thumbnailer");
    std::vector<std::string> words = split(entry.at("Exec"), ' ');
    for (std::string& word : words) {
        if (word == "%i") word = input;
        if (word == "%o") word = output;
        if (word == "%s") word = std::to_string(size);
    }
    words[0] = std::filesystem::path(shot).parent_path() / words[0];
    return words;
}

ProcessResult runThumbnailer(const std::string& input, const std::string& output, int size) {
    const std::vector<std::string> command = thumbnailerCommand(input, output, size);
    return runWithoutDisplay(command[0], std::vector<std::string>(command.begin() + 1, command.end()));
}

// A square pyramid, the ASCII layout: what a 3D printing program saves.
constexpr const char* pyramidStl = R"(solid pyramid
facet normal 0 0 -1
outer loop
vertex -1 -1 0
vertex 1 1 0
vertex 1 -1 0
endloop
endfacet
facet normal 0 0 -1
outer loop
vertex -1 -1 0
vertex -1 1 0
vertex 1 1 0
endloop
endfacet
facet normal 0 -1 1
outer loop
vertex -1 -1 0
vertex 1 -1 0
vertex 0 0 1.5
endloop
endfacet
facet normal 1 0 1
outer loop
vertex 1 -1 0
vertex 1 1 0
vertex 0 0 1.5
endloop
endfacet
facet normal 0 1 1
outer loop
vertex 1 1 0
vertex -1 1 0
vertex 0 0 1.5
endloop
endfacet
facet normal -1 0 1
outer loop
vertex -1 1 0
vertex -1 -1 0
vertex 0 0 1.5
endloop
endfacet
endsolid pyramid
)";

TEST(Shot, ThumbnailerEntryGivesASquareWithTheFrameCentred) {
    const TempFolder folder;
    folder.write("pyramid.stl", pyramidStl);
    const std::string png = folder.path + "thumbnail.png";
    const ProcessResult r = runThumbnailer(folder.path + "pyramid.stl", png, 256);
    ASSERT_FALSE(r.stillRunning);
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    const RgbPicture thumbnail = readPng(png);
    ASSERT_EQ(thumbnail.width, 256);
    ASSERT_EQ(thumbnail.height, 256);
    // The 256 x 192 frame, 32 rows down: the mesh only inside it, the
    // background all round.
    int top = 256, bottom = -1, left = 256, right = -1;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const unsigned char* p = &thumbnail.rgb[(std::size_t(y) * 256 + x) * 3];
            if (p[0] == background && p[1] == background && p[2] == background) continue;
            top = std::min(top, y), bottom = std::max(bottom, y);
            left = std::min(left, x), right = std::max(right, x);
        }
    ASSERT_GE(bottom, 0) << "no mesh in the thumbnail";
    EXPECT_GE(top, 32);
    EXPECT_LT(bottom, 32 + 192);
    // Fitted as tarvexgl-fit fits it, large (its widest, over a whole
    // turn, is at least 40 % of the frame), not a dot.
    EXPECT_GE(right - left + 1, 256 / 3) << "the mesh spans " << right - left + 1 << " x " << bottom - top + 1;

    // At 800 the frame is the viewer's window, 100 rows down: byte for byte
    // what tarvexgl-shot draws of the mesh tarvexgl-fit fits.
    const ProcessResult large = runThumbnailer(folder.path + "pyramid.stl", folder.path + "800.png", 800);
    ASSERT_EQ(large.exitStatus, 0) << large.err;
    const std::string fit = std::filesystem::path(shot).parent_path() / "tarvexgl-fit";
    const ProcessResult fitted =
        runProcess({fit, folder.path + "pyramid.stl", folder.path + "fitted.off"}, "", deadline);
    ASSERT_EQ(fitted.exitStatus, 0) << fitted.err;
    const ProcessResult window = runWithoutDisplay(shot, {folder.path + "fitted.off", folder.path + "window.png"});
    ASSERT_EQ(window.exitStatus, 0) << window.err;
    RgbPicture square = readPng(folder.path + "800.png");
    ASSERT_EQ(square.width, 800);
    ASSERT_EQ(square.height, 800);
    constexpr std::size_t row = std::size_t{800} * 3;
    const auto isBackground = [](unsigned char c) { return c == background; };
    EXPECT_TRUE(std::all_of(square.rgb.begin(), square.rgb.begin() + 100 * row, isBackground));
    EXPECT_TRUE(std::all_of(square.rgb.end() - 100 * row, square.rgb.end(), isBackground));
    square.rgb.assign(square.rgb.begin() + 100 * row, square.rgb.end() - 100 * row);
    square.height = 600;
    const PictureDifference difference = compare(square, readPng(folder.path + "window.png"));
    EXPECT_EQ(difference.pixels, 0) << "by up to " << difference.largest;
}

// tarvexgl-fit --shot and --turn: the fitted mesh drawn in tarvexgl-fit
// itself, the very picture of the fitted file drawn by tarvexgl-shot.
TEST(Shot, FitShotAndTurnDrawTheFittedMesh) {
    const TempFolder folder;
    const std::string fit = std::filesystem::path(shot).parent_path() / "tarvexgl-fit";
    const std::string stl = folder.write("pyramid.stl", pyramidStl);
    const ProcessResult fitted = runProcess({fit, stl, folder.path + "fitted.off"}, "", deadline);
    ASSERT_EQ(fitted.exitStatus, 0) << fitted.err;
    const ProcessResult reference =
        runWithoutDisplay(shot, {folder.path + "fitted.off", folder.path + "reference.png"});
    ASSERT_EQ(reference.exitStatus, 0) << reference.err;
    const RgbPicture expected = readPng(folder.path + "reference.png");
    ASSERT_EQ(expected.width, 800);

    const ProcessResult picture = runWithoutDisplay(fit, {"--shot", folder.path + "shot.png", stl});
    ASSERT_EQ(picture.exitStatus, 0) << picture.err;
    EXPECT_EQ(compare(readPng(folder.path + "shot.png"), expected).pixels, 0);
    const ProcessResult turn = runWithoutDisplay(fit, {"--turn", folder.path + "turn.gif", stl});
    ASSERT_EQ(turn.exitStatus, 0) << turn.err;
    const GifAnimationRead gif = readGif(folder.path + "turn.gif");
    ASSERT_EQ(gif.frames.size(), 36u);
    EXPECT_EQ(compare(gif.frames[0].picture, expected).pixels, 0);

    // Failures: a line for input it cannot read, for a picture it cannot
    // write, for no OpenGL; no picture either way.
    folder.write("broken.stl", "solid broken\nfacet normal 0 0\n");
    const ProcessResult broken =
        runWithoutDisplay(fit, {"--shot", folder.path + "broken.png", folder.path + "broken.stl"});
    EXPECT_EQ(broken.exitStatus, 1);
    EXPECT_TRUE(broken.err.starts_with("tarvexgl-fit: " + folder.path + "broken.stl:")) << broken.err;
    EXPECT_EQ(std::count(broken.err.begin(), broken.err.end(), '\n'), 1) << broken.err;
    const ProcessResult unwritable = runWithoutDisplay(fit, {"--turn", folder.path + "no/turn.gif", stl});
    EXPECT_EQ(unwritable.exitStatus, 1);
    EXPECT_EQ(unwritable.err, "tarvexgl-fit: " + folder.path +
                                  "no/turn.gif: cannot create a file beside it: No such file or directory\n");
    const ProcessResult noOpenGl = runWithoutDisplay(fit, {"--shot", folder.path + "broken.png", stl},
                                                     {"__EGL_VENDOR_LIBRARY_DIRS=" + folder.path + "none"});
    EXPECT_EQ(noOpenGl.exitStatus, 3);
    EXPECT_TRUE(noOpenGl.err.starts_with("tarvexgl-fit: cannot draw without a display: ")) << noOpenGl.err;
    EXPECT_EQ(std::count(noOpenGl.err.begin(), noOpenGl.err.end(), '\n'), 1) << noOpenGl.err;
    EXPECT_FALSE(exists(folder.path + "broken.png"));
}

// A square pyramid again, as ASCII PLY: y up, as PLY files are.
constexpr const char* pyramidPly = R"(ply
format ascii 1.0
element vertex 5
property float x
property float y
property float z
element face 5
property list uchar int vertex_indices
end_header
-1 0 1
1 0 1
1 0 -1
-1 0 -1
0 1.5 0
4 0 3 2 1
3 0 1 4
3 1 2 4
3 2 3 4
3 3 0 4
)";

// The thumbnail of a file of our own readers' is fitted in tarvexgl-shot
// itself: alone in a folder, with nothing on PATH, it still makes one.
TEST(Shot, AThumbnailOfAnStlOrAPlyStartsNoOtherProgram) {
    const TempFolder folder;
    std::filesystem::create_directory(folder / "alone");
    std::filesystem::create_directory(folder / "empty");
    const std::string alone = folder / "alone/tarvexgl-shot";
    std::filesystem::copy_file(shot, alone);
    for (const auto& [name, text] : {std::pair{"pyramid.stl", pyramidStl}, std::pair{"pyramid.ply", pyramidPly}}) {
        SCOPED_TRACE(name);
        const std::string png = folder / (std::string(name) + ".png");
        const ProcessResult r = runWithoutDisplay(alone, {"--thumbnail", "64", folder.write(name, text), png},
                                                  {"PATH=" + folder / "empty"});
        EXPECT_EQ(r.exitStatus, 0) << r.err;
        EXPECT_EQ(r.err, "");
        const RgbPicture thumbnail = readPng(png);
        ASSERT_EQ(thumbnail.width, 64);
        EXPECT_TRUE(std::any_of(thumbnail.rgb.begin(), thumbnail.rgb.end(), [](unsigned char c) {
            return c != background;
        })) << "no mesh in the thumbnail";
    }
}

TEST(Shot, ThumbnailerEntryOnABrokenFileGivesNoThumbnailAndFails) {
    const TempFolder folder;
    const std::string png = folder.path + "thumbnail.png";
    for (const char* name : {"broken.stl", "broken.off", "missing.ply"}) {
        SCOPED_TRACE(name);
        const std::string input = folder / name;
        if (std::string(name) != "missing.ply") folder.write(name, std::string(name) + "\n\x01\xff solid 3 OFF\n");
        const ProcessResult r = runThumbnailer(input, png, 128);
        EXPECT_FALSE(r.stillRunning);
        EXPECT_EQ(r.signal, 0);
        EXPECT_NE(r.exitStatus, 0);
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_NE(r.err.find(input), std::string::npos) << r.err;
        EXPECT_FALSE(exists(png));
    }
}

// As a file manager types files: the shared MIME database with ours added,
// through GLib's own lookup. Every format the thumbnailer and the desktop
// entry name must come out as a type they list.
TEST(Shot, FileManagerGivesEveryFormatToTheThumbnailerAndTheDesktopEntry) {
    const TempFolder folder;
    const std::string data = folder.path + "share/";
    std::filesystem::create_directories(data + "mime/packages");
    std::filesystem::copy_file(std::string(SHOT_SOURCE_DIR) + "/tarvexgl-mime.xml",
                               data + "mime/packages/tarvexgl.xml");
    const ProcessResult update = runProcess({"/usr/bin/env", "update-mime-database", data + "mime"}, "", deadline);
    ASSERT_EQ(update.exitStatus, 0) << update.err;
    EXPECT_EQ(update.err.find("arning"), std::string::npos) << update.err;

    const auto thumbnailer = readKeyFile(std::string(SHOT_SOURCE_DIR) + "/tarvexgl.thumbnailer");
    const auto desktop = readKeyFile(std::string(FIT_SOURCE_DIR) + "/tarvexgl.desktop");
    const std::vector<std::string> thumbnailed = split(thumbnailer.at("MimeType"), ';');
    const std::vector<std::string> opened = split(desktop.at("MimeType"), ';');
    EXPECT_EQ(thumbnailed, opened);

    folder.write("mesh.off", "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n");
    folder.write("mesh-without-a-suffix", "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n");
    folder.write("colours.off", "COFF\n3 1 0\n0 0 0 255 0 0 255\n1 0 0 0 255 0 255\n0 1 0 0 0 255 255\n3 0 1 2\n");
    folder.write("mesh.stl", pyramidStl);
    folder.write("mesh.ply", "ply\nformat ascii 1.0\nelement vertex 0\nend_header\n");
    folder.write("mesh.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    folder.write("binary.stl", std::string(80, ' ') + std::string("\x01\0\0\0", 4) + std::string(50, '\0'));
    const std::vector<std::pair<std::string, std::string>> files = {
        {"mesh.off", "model/x-off"},    {"mesh-without-a-suffix", "model/x-off"},
        {"colours.off", "model/x-off"},  // by its name: no magic for COFF
        {"mesh.stl", "model/stl"},      {"binary.stl", "model/stl"},
        {"mesh.ply", "model/x-ply"},    {"mesh.obj", "model/obj"}};
    for (const auto& [file, expected] : files) {
        SCOPED_TRACE(file);
        const ProcessResult info = runProcess(
            {"/usr/bin/env", "XDG_DATA_DIRS=" + data + ":/usr/share", "XDG_DATA_HOME=" + folder.path + "home", "gio",
             "info", "-a", "standard::content-type", folder.path + file},
            "", deadline);
        ASSERT_EQ(info.exitStatus, 0) << info.err;
        const std::size_t at = info.out.find("standard::content-type: ");
        ASSERT_NE(at, std::string::npos) << info.out;
        const std::string type = split(info.out.substr(at + 24), '\n').at(0);
        EXPECT_EQ(type, expected);
        EXPECT_NE(std::find(thumbnailed.begin(), thumbnailed.end(), type), thumbnailed.end());
    }

    // The entries themselves, as the desktop's own tools read them.
    const ProcessResult valid = runProcess(
        {"/usr/bin/env", "desktop-file-validate", std::string(FIT_SOURCE_DIR) + "/tarvexgl.desktop"}, "", deadline);
    EXPECT_EQ(valid.exitStatus, 0) << valid.out << valid.err;
    EXPECT_EQ(valid.out + valid.err, "");
    EXPECT_EQ(desktop.at("Exec"), "tarvexgl-fit --show %f");
    EXPECT_EQ(thumbnailer.at("TryExec"), "tarvexgl-shot");
}

}  // namespace
