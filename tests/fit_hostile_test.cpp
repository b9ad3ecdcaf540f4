// tarvexgl-fit against hostile files, names and outputs, through the real
// binary. Whatever INPUT holds, it ends by itself with status 1, exactly one
// line on standard error that names the file, and no OUTPUT; or it writes
// the mesh, framed like any other. Every run is held by limits set inside
// the test (ulimit -t for CPU time, and -v for memory where the address
// sanitizer leaves room for it), so that a hang or a runaway allocation
// fails a case instead of the machine. One row per kind of fault found when
// the program was first tried this way; the library's own faults are also
// made on purpose, by a library preloaded into the program.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "address_sanitizer.h"
#include "run_process.h"
#include "temp_file.h"

namespace fs = std::filesystem;

namespace {

const std::string fit = TARVEXGL_FIT_BINARY;

// tarvexgl-fit under a shell that limits it first: 60 s of CPU time and,
// unless the address sanitizer's shadow memory is in the way, 2 GiB of
// address space. `environment` is put before the command (NAME=value).
ProcessResult runLimited(const std::vector<std::string>& args, const std::string& environment = "") {
    std::string limits = "ulimit -t 60";
    if (!addressSanitizer) limits += "; ulimit -v 2097152";
    std::vector<std::string> argv = {"/bin/sh", "-c", limits + "; " + environment + " exec \"$0\" \"$@\"", fit};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProcess(argv, "", 120);
}

template <class T>
void append(std::string& bytes, T value) {
    char raw[sizeof value];
    std::memcpy(raw, &value, sizeof value);
    if (std::endian::native == std::endian::big) std::reverse(raw, raw + sizeof value);
    bytes.append(raw, sizeof value);
}

// A unit cube as binary PLY (422 bytes), for cutting short.
std::string binaryCube() {
    std::string bytes =
        "ply\nformat binary_little_endian 1.0\nelement vertex 8\nproperty float x\nproperty float y\n"
        "property float z\nelement face 12\nproperty list uchar int vertex_indices\nend_header\n";
    for (int v = 0; v < 8; ++v)
        for (int axis = 0; axis < 3; ++axis) append(bytes, static_cast<float>((v >> axis) & 1));
    const int faces[12][3] = {{0, 2, 1}, {1, 2, 3}, {4, 5, 6}, {5, 7, 6}, {0, 1, 4}, {1, 5, 4},
                              {2, 6, 3}, {3, 6, 7}, {0, 4, 2}, {2, 4, 6}, {1, 3, 5}, {3, 7, 5}};
    for (const auto& f : faces) {
        bytes += '\x03';
        for (int k : f) append(bytes, static_cast<std::int32_t>(k));
    }
    return bytes;
}

std::string asciiPly(const std::string& properties, const std::string& format, const std::string& body) {
    return "ply\nformat " + format + " 1.0\nelement vertex 4\n" + properties +
           "element face 1\nproperty list uchar int vertex_indices\nend_header\n" + body;
}
const std::string xyz = "property float x\nproperty float y\nproperty float z\n";
const std::string square = "0 0 0\n1 0 0\n1 1 0\n0 1 0\n";

// A binary PLY of 279 bytes whose one face claims `count` corners.
std::string faceListBomb(std::uint32_t count) {
    std::string bytes =
        "ply\nformat binary_little_endian 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
        "property float z\nelement face 1\nproperty list uint int vertex_indices\nend_header\n";
    for (int k = 0; k < 9; ++k) append(bytes, static_cast<float>(k % 2));
    append(bytes, count);
    for (int k = 0; k < 3; ++k) append(bytes, std::int32_t{k});
    bytes.resize(279, '\0');
    return bytes;
}

// A triangle, and the OFF text of it with every coordinate times `scale`.
std::string scaledTriangle(double scale) {
    std::ostringstream text;
    text.precision(17);
    text << "OFF\n3 1 0\n"
         << -1 * scale << " " << -1 * scale << " 0\n"
         << 1 * scale << " " << -0.5 * scale << " 0\n"
         << 0.25 * scale << " " << 1 * scale << " 0\n3 0 1 2\n";
    return text.str();
}

using Vertex3 = std::array<double, 3>;

// The vertices of an OFF text as tarvexgl-fit writes it.
std::vector<Vertex3> verticesOf(const std::string& off) {
    std::istringstream in(off);
    std::string keyword;
    std::size_t vertices = 0, faces = 0, edges = 0;
    in >> keyword >> vertices >> faces >> edges;
    std::vector<Vertex3> points(vertices);
    for (Vertex3& p : points) in >> p[0] >> p[1] >> p[2];
    return in ? points : std::vector<Vertex3>{};
}

// A polygon of `corners` corners: a strip about 1 wide wound 100 times
// around the origin, as OFF.
std::string spiralStripOff(std::size_t corners) {
    const double pi = 3.14159265358979323846;
    std::ostringstream text;
    text.precision(17);
    text << "OFF\n" << corners << " 1 0\n";
    const std::size_t half = corners / 2;
    for (std::size_t i = 0; i < 2 * half; ++i) {
        const std::size_t k = i < half ? i : 2 * half - 1 - i;
        const double t = 2 * pi * 100 * static_cast<double>(k) / static_cast<double>(half);
        const double r = 1 + 2 * t + (i < half ? 1 : 0);
        text << r * std::cos(t) << " " << r * std::sin(t) << " 0\n";
    }
    text << 2 * half;
    for (std::size_t i = 0; i < 2 * half; ++i) text << " " << i;
    text << "\n";
    return text.str();
}

struct Refusal {
    const char* what;
    std::string file;      // its name in the scratch folder
    std::string contents;  //
    std::string line;      // after "tarvexgl-fit: <path>"; for the importer's, only the start in a sanitizer build
    bool importer = false;
};

TEST(FitHostile, RefusalsAreOneLineWithTheFileAndStatus1AndLeaveNoOutput) {
    const std::string cube = binaryCube();
    std::string onePastBinary = cube;  // the last face's last corner: 5 becomes 8, one past the end
    onePastBinary[cube.size() - 4] = '\x08';
    // 200 million vertices declared in a hundred bytes.
    const std::string hugeX =
        "xof 0303txt 0032\nMesh m {\n 200000000;\n 0.0;0.0;0.0;,\n 1.0;0.0;0.0;,\n 0.0;1.0;0.0;;\n 1;\n 3;0,1,2;;\n}\n";
    const Refusal cases[] = {
        {"negative face index", "negative.ply", asciiPly(xyz, "ascii", square + "4 0 1 -2 3\n"),
         ":14: face 0 of 1: expected a vertex index in 0..3, found '-2'"},
        {"index far past the last vertex", "far.ply", asciiPly(xyz, "ascii", square + "4 0 1 2 2147483647\n"),
         ":14: face 0 of 1: expected a vertex index in 0..3, found '2147483647'"},
        {"index one past the end", "one-past.ply", asciiPly(xyz, "ascii", square + "3 0 1 4\n"),
         ":14: face 0 of 1: expected a vertex index in 0..3, found '4'"},
        {"binary index one past the end", "one-past-binary.ply", onePastBinary,
         ": face 11 of 12 (byte 418): expected a vertex index in 0..7, found 8"},
        {"binary PLY cut at byte 200", "cut-200.ply", cube.substr(0, 200),
         ":3: header: expected at most 2 records of element 'vertex' in the 30 bytes that follow the header, found "
         "'8'"},
        {"binary PLY cut at byte 300", "cut-300.ply", cube.substr(0, 300),
         ": face 2 of 12 (byte 292): expected a list count that the 7 bytes left can hold, found 3"},
        {"binary PLY cut at byte 260", "cut-260.ply", cube.substr(0, 260),
         ":3: header: expected at most 7 records of element 'vertex' in the 90 bytes that follow the header, found "
         "'8'"},
        {"binary PLY with a byte too many", "long.ply", cube + "\n",
         ": after the last record (byte 422): expected the end of the file, found 1 more bytes"},
        {"middle-endian PLY", "middle.ply", asciiPly(xyz, "binary_middle_endian", ""),
         ":2: header: expected ascii, binary_little_endian or binary_big_endian, found 'binary_middle_endian'"},
        {"PLY without z", "no-z.ply", asciiPly("property float x\nproperty float y\n", "ascii", "0 0\n"),
         ":3: header: expected properties x, y and z in element 'vertex', found '4'"},
        {"PLY with a nan coordinate", "nan.ply", asciiPly(xyz, "ascii", "0 0 0\n1 nan 0\n1 1 0\n0 1 0\n3 0 1 2\n"),
         ":11: vertex 1 of 4: expected a finite coordinate, found 'nan'"},
        {"PLY header without end_header", "no-end.ply", "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\n",
         ":4: header: expected 'end_header', found end of file"},
        {"face list of 1e8 corners in 279 bytes", "list-1e8.ply", faceListBomb(100000000),
         ": face 0 of 1 (byte 204): expected a list count that the 71 bytes left can hold, found 100000000"},
        {"face list of 1e9 corners in 279 bytes", "list-1e9.ply", faceListBomb(1000000000),
         ": face 0 of 1 (byte 204): expected a list count that the 71 bytes left can hold, found 1000000000"},
        {"binary STL cut short", "cut.stl", std::string(80, 'x') + std::string("\x02\0\0\0", 4) + std::string(60, '\0'),
         ": facet count (byte 80): expected a count that the 60 bytes after the header hold (50 a facet), found 2"},
        {"STL with a nan corner", "nan.stl",
         "solid s\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\nvertex 0 nan 0\nendloop\nendfacet\n"
         "endsolid s\n",
         ":6: facet 0: expected a finite number, found 'nan'"},
        {"OBJ face past the last vertex", "past.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 4\n",
         ":4: f: expected a vertex index in 1..3, found '4'"},
        // The library's own faults, with the library as it is: a file that
        // crashes it, and one that makes it ask for gigabytes.
        {"a file the library crashes on", "crash.csm",
         "$Filename f\n$Start 1\n$End 2\n$Rate 30\n$Order\nA\n$Points\n1 0 0 0\n2 1 1 1\n",
         ": the importer failed (crashed on this file)", true},
        {"a file the library takes gigabytes for", "huge.x", hugeX,
         ": the importer failed (needed more than the 512 MiB allowed for a file of " + std::to_string(hugeX.size()) +
             " bytes)",
         true},
        // Names that hold control characters are shown escaped, on one line.
        {"a line feed, a carriage return and an escape in the name", "a\nb\rc\x1b[31m.ply",
         asciiPly(xyz, "ascii", square + "3 0 1 4\n"), ":14: face 0 of 1: expected a vertex index in 0..3, found '4'"},
    };
    const TempFolder folder;
    const std::string outputs = folder.path + "outputs";
    ASSERT_TRUE(fs::create_directory(outputs));
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = folder.write(c.file, c.contents);
        const ProcessResult r = runLimited({path, outputs + "/out.off"});
        ASSERT_FALSE(r.stillRunning);
        EXPECT_EQ(r.signal, 0);
        EXPECT_EQ(r.exitStatus, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        std::string shownPath = path;
        for (const auto& [raw, escaped] : {std::pair{"\n", "\\x0a"}, {"\r", "\\x0d"}, {"\x1b", "\\x1b"}})
            for (std::size_t at = 0; (at = shownPath.find(raw, at)) != std::string::npos; at += 4)
                shownPath.replace(at, 1, escaped);
        const std::string expected = "tarvexgl-fit: " + shownPath + c.line + "\n";
        if (c.importer && addressSanitizer) {
            // Under the sanitizer a crash or a failed allocation ends the
            // child with the sanitizer's own status instead.
            EXPECT_EQ(r.err.rfind("tarvexgl-fit: " + shownPath + ": the importer failed (", 0), 0u) << r.err;
        } else {
            EXPECT_EQ(r.err, expected);
        }
        EXPECT_TRUE(fs::is_empty(outputs)) << "OUTPUT, or a file beside it, was left";
    }
}

TEST(FitHostile, ControlCharactersInNamesAreShownEscapedInEveryMessage) {
    // Line feed, carriage return, escape and a C1 control (U+009B, which
    // some terminals take as an escape) are shown as \xNN; well-formed UTF-8
    // stays as it is, a lone byte of 0x80 or more does not.
    const TempFolder folder;
    const std::string input = folder.write("in.off", scaledTriangle(1));
    const struct {
        std::vector<std::string> args;
        std::string err;
        int status;
    } cases[] = {
        {{"no\nsuch\r\x1b[2J.off"},
         "tarvexgl-fit: no\\x0asuch\\x0d\\x1b[2J.off: cannot open: No such file or directory\n",
         1},
        {{input, folder.path + "caf\xc3\xa9\xc2\x9b\x9b/out.off"},
         "tarvexgl-fit: " + folder.path +
             "caf\xc3\xa9\\xc2\\x9b\\x9b/out.off: cannot create a file beside it: No such file "
             "or directory\n",
         1},
        {{"--up", "\x1b]0;title\x07", input},
         "tarvexgl-fit: --up takes x, y, z, -x, -y or -z, not '\\x1b]0;title\\x07' (see tarvexgl-fit --help)\n",
         2},
    };
    for (const auto& c : cases) {
        const ProcessResult r = runLimited(c.args);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.exitStatus, c.status);
    }
}

TEST(FitHostile, AFifoThatAFileNamesIsNeverWaitedOn) {
    // A FIFO nobody writes, named by an OBJ's material library (never
    // opened: the reader has no use for materials) and by a glTF's buffer
    // (the importer opens regular files only): neither run waits on it.
    const TempFolder folder;
    ASSERT_EQ(::mkfifo((folder.path + "fifo").c_str(), 0600), 0);
    const ProcessResult obj =
        runLimited({folder.write("materials.obj", "mtllib fifo\nv 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl red\nf 1 2 3\n")});
    EXPECT_EQ(obj.exitStatus, 0) << obj.err;
    EXPECT_EQ(obj.out.rfind("OFF\n3 1 0\n", 0), 0u);
    const std::string gltf =
        folder.write("buffer.gltf",
                     R"({"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0]}], "nodes": [{"mesh": 0}],
            "meshes": [{"primitives": [{"attributes": {"POSITION": 0}}]}],
            "buffers": [{"byteLength": 36, "uri": "fifo"}],
            "bufferViews": [{"buffer": 0, "byteLength": 36}],
            "accessors": [{"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3",
                           "min": [0, 0, 0], "max": [1, 1, 0]}]})");
    const ProcessResult refused = runLimited({gltf});
    EXPECT_EQ(refused.exitStatus, 1);
    EXPECT_EQ(refused.err.rfind("tarvexgl-fit: " + gltf + ": ", 0), 0u) << refused.err;
    EXPECT_EQ(refused.err.find("the importer failed"), std::string::npos) << "it waited on the FIFO: " << refused.err;
    EXPECT_EQ(std::count(refused.err.begin(), refused.err.end(), '\n'), 1) << refused.err;
}

TEST(FitHostile, NumbersAtTheEndsOfTheRangeOfADoubleAreFramedLikeAnyOther) {
    // A triangle a few units across, and the same about 1e308 and 1e-310
    // across (below the smallest normal double): framed alike, to rounding.
    const TempFolder folder;
    const ProcessResult reference = runLimited({folder.write("unit.off", scaledTriangle(1))});
    ASSERT_EQ(reference.exitStatus, 0) << reference.err;
    const std::vector<Vertex3> expected = verticesOf(reference.out);
    ASSERT_EQ(expected.size(), 3u);
    for (const double scale : {1e308, 1e-310, 0x1p-1074 * 8}) {
        SCOPED_TRACE(scale);
        const ProcessResult r = runLimited({folder.write("scaled.off", scaledTriangle(scale))});
        ASSERT_EQ(r.exitStatus, 0) << r.err;
        const std::vector<Vertex3> framed = verticesOf(r.out);
        ASSERT_EQ(framed.size(), 3u);
        for (std::size_t v = 0; v < 3; ++v)
            for (std::size_t axis = 0; axis < 3; ++axis)
                EXPECT_NEAR(framed[v][axis], expected[v][axis], scale < 1e-320 ? 0.2 : 1e-9) << "vertex " << v;
    }
    // A polygon that is not convex, near the largest doubles: cut and framed.
    const ProcessResult l = runLimited(
        {folder.write("l.off",
                      "OFF\n6 1 0\n-1e308 -1e308 0\n1e308 -1e308 0\n1e308 -3e307 0\n-3e307 -3e307 0\n-3e307 1e308 0\n"
                      "-1e308 1e308 0\n6 0 1 2 3 4 5\n")});
    ASSERT_EQ(l.exitStatus, 0) << l.err;
    EXPECT_EQ(l.out.rfind("OFF\n6 4 0\n", 0), 0u) << l.out;
    for (const Vertex3& p : verticesOf(l.out))
        for (const double c : p) EXPECT_TRUE(std::fabs(c) < 100) << c;
}

TEST(FitHostile, APolygonOfAHundredThousandCornersIsCutWithinItsTime) {
    // Wound 100 times: ear clipping took minutes on such a strip; the CPU
    // limit of runLimited stops the case long before that.
    const TempFolder folder;
    const ProcessResult r = runLimited({folder.write("spiral.off", spiralStripOff(100000))});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(r.out.rfind("OFF\n100000 99998 0\n", 0), 0u);
}

TEST(FitHostile, OutputNamesAndLinksAreWrittenThrough) {
    const TempFolder folder;
    const std::string input = folder.write("in.off", scaledTriangle(1));
    const std::string mesh = runLimited({input}).out;
    ASSERT_FALSE(mesh.empty());
    // A name of 250 characters: the temporary file beside it must still fit
    // the longest name a folder takes.
    const std::string longName = folder.path + "" + std::string(246, 'n') + ".off";
    ProcessResult r = runLimited({input, longName});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    std::ifstream written(longName);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(written), {}), mesh);
    // A link that names nothing yet, and a link to that link: the file they
    // name is made, the links stay.
    fs::create_symlink("made.off", folder.path + "dangling.off");
    fs::create_symlink("dangling.off", folder.path + "twice.off");
    r = runLimited({input, folder.path + "twice.off"});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_TRUE(fs::is_symlink(folder.path + "dangling.off"));
    EXPECT_TRUE(fs::is_symlink(folder.path + "twice.off"));
    std::ifstream made(folder.path + "made.off");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(made), {}), mesh);
    // A link to itself: one line, and nothing made.
    fs::create_symlink("loop.off", folder.path + "loop.off");
    r = runLimited({input, folder.path + "loop.off"});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.err, "tarvexgl-fit: " + folder.path + "loop.off: cannot write it: Too many levels of symbolic links\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path), fs::directory_iterator()), 6)
        << "a temporary file was left";
}

TEST(FitHostile, TheImportersFaultsStayInItsProcess) {
    // The import aborts, hangs or allocates without end (the preloaded
    // library does it, whatever the file holds): each is one line, status 1,
    // and tarvexgl-fit itself is never the one that crashes or hangs.
    std::string environment = std::string("LD_PRELOAD=") + IMPORTER_FAULTS;
    if (addressSanitizer) environment += " ASAN_OPTIONS=verify_asan_link_order=0";
    const TempFolder folder;
    const struct {
        const char* file;
        std::string line;
    } cases[] = {
        {"abort.glb", ": the importer failed (crashed on this file)"},
        {"hang.glb", ": the importer failed (gave up after 10 s)"},
        {"bomb.glb", ": the importer failed (needed more than the 512 MiB allowed for a file of 4 bytes)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = folder.write(c.file, "glTF");
        const ProcessResult r = runLimited({path, folder.path + "out.off"}, environment);
        ASSERT_FALSE(r.stillRunning);
        EXPECT_EQ(r.signal, 0);
        EXPECT_EQ(r.exitStatus, 1);
        EXPECT_EQ(r.out, "");
        if (addressSanitizer && std::string(c.file) == "bomb.glb") {
            EXPECT_EQ(r.err.rfind("tarvexgl-fit: " + path + ": the importer failed (", 0), 0u) << r.err;
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        } else {
            EXPECT_EQ(r.err, "tarvexgl-fit: " + path + c.line + "\n");
        }
        EXPECT_FALSE(fs::exists(folder.path + "out.off"));
    }
    // The allocations were stopped by the importer's own limit (512 MiB and
    // what the program had mapped), well before the 2 GiB of ulimit -v.
    std::ifstream taken(folder.path + "bomb.glb.taken");
    std::size_t bytes = 0;
    ASSERT_TRUE(taken >> bytes);
    EXPECT_GE(bytes, std::size_t{256} << 20);
    EXPECT_LT(bytes, std::size_t{1} << 30);
}

TEST(FitHostile, RunningOutOfMemoryIsOneLineThatSaysSo) {
    if (addressSanitizer) GTEST_SKIP() << "the address sanitizer's shadow memory does not fit under ulimit -v";
    // A convex polygon of a million corners under 100 MB of address space.
    const TempFolder folder;
    std::ostringstream text;
    text << "OFF\n1000000 1 0\n";
    for (int i = 0; i < 1000000; ++i) {
        const double a = 2 * 3.14159265358979323846 * i / 1000000;
        text << std::cos(a) << " " << std::sin(a) << " 0\n";
    }
    text << "1000000";
    for (int i = 0; i < 1000000; ++i) text << " " << i;
    text << "\n";
    const std::string path = folder.write("round.off", text.str());
    const std::vector<std::string> argv = {"/bin/sh", "-c", "ulimit -v 100000; exec \"$0\" \"$@\"",
                                           fit,       path, folder.path + "out.off"};
    const ProcessResult r = runProcess(argv, "", 120);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(r.err.rfind("tarvexgl-fit: " + path + ":", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("not enough memory"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(folder.path + "out.off"));
}

}  // namespace
