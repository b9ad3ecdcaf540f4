// The OFF reader on literal files: layouts that must load the same mesh,
// malformed files that must be refused with the right line and words, as
// whole texts and as streams, and real files from other projects.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "mesh/off_fast_reader.h"
#include "mesh/off_reader.h"
#include "mesh/off_space.h"
#include "temp_file.h"

namespace {

// `text` as a pipe delivers it: the reader sees it through readOffStream,
// a few bytes at a time, while a writer thread sends it.
bool readThroughPipe(const std::string& text, std::string_view path, OffNumbers& numbers, std::string& error) {
    std::signal(SIGPIPE, SIG_IGN);  // the reader may stop before the writer is done
    int ends[2];
    if (::pipe(ends) != 0) return false;
    std::thread writer([&text, fd = ends[1]] {
        for (std::size_t sent = 0; sent < text.size();) {
            const ssize_t n = ::write(fd, text.data() + sent, std::min<std::size_t>(text.size() - sent, 4093));
            if (n <= 0) break;
            sent += static_cast<std::size_t>(n);
        }
        ::close(fd);
    });
    const bool read = readOffStream(ends[0], path, numbers, error);
    ::close(ends[0]);
    writer.join();
    return read;
}

// The records after the header, where the fast way starts.
std::string_view bodyOf(std::string_view text) {
    std::size_t at = 0;
    for (int token = 0; token < 4; ++token) {
        while (at < text.size() && isOffSpace(text[at])) ++at;
        while (at < text.size() && !isOffSpace(text[at])) ++at;
    }
    return text.substr(at);
}

// The fast way must take every well-formed text, on any number of threads,
// and give the numbers the sequential reader gives.
void expectFastWayTakes(const std::string& text, int threads) {
    OffNumbers reader;
    std::string error;
    ASSERT_TRUE(readOffText(text, "mesh.off", reader, error, threads)) << error;
    OffNumbers fast;
    fast.vertexCount = reader.vertexCount;
    fast.faceCount = reader.faceCount;
    fast.vertices.reset(static_cast<Vertex*>(std::calloc(reader.vertexCount + 1, sizeof(Vertex))));
    fast.corners.reset(static_cast<std::int32_t*>(std::calloc(3 * std::size_t(reader.faceCount) + 1, 4)));
    EXPECT_TRUE(parseRecordsFast(bodyOf(text), fast, threads)) << "the fast way gave up on a well-formed file";
    EXPECT_EQ(std::memcmp(fast.vertices.get(), reader.vertices.get(), sizeof(Vertex) * reader.vertexCount), 0);
    EXPECT_EQ(std::memcmp(fast.corners.get(), reader.corners.get(), 12 * std::size_t(reader.faceCount)), 0);
}

// Four vertices, two faces sharing the edge 0-2: the mesh most rows below
// must load as.
const char* const squareFile =
    "OFF\n"
    "4 2 0\n"
    "0 0 0\n"
    "1 0 0\n"
    "1 1 0\n"
    "0 1 -0\n"
    "3 0 1 2\n"
    "3 0 2 3\n";

void expectSquare(const Model& model) {
    ASSERT_EQ(model.vertexCount, 4);
    ASSERT_EQ(model.faceCount, 2);
    const int expectedIndex[2][3] = {{0, 1, 2}, {0, 2, 3}};
    for (int j = 0; j < 2; ++j) {
        for (int k = 0; k < 3; ++k) {
            const Face& face = model.faces[j];
            EXPECT_EQ(face.vertexIndex[k], expectedIndex[j][k]) << "face " << j << " corner " << k;
            // Each face carries its own copy of the shared positions.
            const Vertex& v = model.vertices[expectedIndex[j][k]];
            EXPECT_EQ(std::memcmp(&face.cornerPosition[k], &v, sizeof v), 0) << "face " << j << " corner " << k;
        }
    }
    EXPECT_TRUE(std::signbit(model.vertices[3].z)) << "-0 must stay negative zero";
}

// Through the whole load, as the viewer does it.
Model loadText(const std::string& text) {
    const std::string path = writeTempFile("mesh.off", text);
    Model model;
    std::string error;
    EXPECT_TRUE(loadModel(path.c_str(), model, error)) << error;
    return model;
}

struct Layout {
    const char* name;
    std::string text;
};

TEST(OffReader, LayoutsOfTheSameMeshLoadTheSame) {
    const Layout layouts[] = {
        {"one line", "OFF 4 2 0 0 0 0 1 0 0 1 1 0 0 1 -0 3 0 1 2 3 0 2 3"},
        {"CRLF", "OFF\r\n4 2 0\r\n0 0 0\r\n1 0 0\r\n1 1 0\r\n0 1 -0\r\n3 0 1 2\r\n3 0 2 3\r\n"},
        {"tabs and blank lines", "\tOFF\n\n4\t2\t0\n\n0\t0\t0\n1 0 0\n 1 1 0\n0 1 -0\n\t3 0 1 2\n3\t0 2 3"},
        {"another keyword", "MESH\n4 2 0\n0 0 0\n1 0 0\n1 1 0\n0 1 -0\n3 0 1 2\n3 0 2 3\n"},
        {"keyword of 11 characters", "OFFOFFOFFOF 4 2 0 0 0 0 1 0 0 1 1 0 0 1 -0 3 0 1 2 3 0 2 3"},
        {"edge count 12", "OFF\n4 2 12\n0 0 0\n1 0 0\n1 1 0\n0 1 -0\n3 0 1 2\n3 0 2 3\n"},
        {"first face number 4", "OFF\n4 2 0\n0 0 0\n1 0 0\n1 1 0\n0 1 -0\n4 0 1 2\n3 0 2 3\n"},
        {"five numbers run into the next record", "OFF\n4 2 0\n0 0 0\n1 0 0\n1 1 0\n0 1 -0\n3 0 1 2 3\n0 2 3\n"},
        {"other spellings of the numbers",
         "OFF\n+4 0002 -0\n0.0 0e5 -0.0e0\n1. 0x0p0 .0\n+1 1e0 0\n0 0x1p0 -0\n3 0 +1 2\n3 0 2 3"},
        {"text after the last face is not read", std::string(squareFile) + "# a comment\n0.5 0.5 0.5 junk \x01"},
        {"no line break at the end", "OFF 4 2 0 0 0 0 1 0 0 1 1 0 0 1 -0 3 0 1 2\n3 0 2 3"},
    };
    for (const Layout& layout : layouts) {
        SCOPED_TRACE(layout.name);
        expectSquare(loadText(layout.text));
        expectFastWayTakes(layout.text, 1);
        OffNumbers streamed;
        std::string error;
        EXPECT_TRUE(readThroughPipe(layout.text, "mesh.off", streamed, error)) << error;
        EXPECT_EQ(streamed.vertices[3].z, 0.0);
        EXPECT_TRUE(std::signbit(streamed.vertices[3].z));
    }
}

TEST(OffReader, CountsDecideWhatIsRead) {
    // No faces: a point set loads, and draws nothing.
    const Model points = loadText("OFF 3 0 0 1 2 3 4 5 6 7 8 9");
    EXPECT_EQ(points.vertexCount, 3);
    EXPECT_EQ(points.faceCount, 0);
    EXPECT_EQ(points.vertices[2].z, 9.0);

    // Vertices no face names are still read and stored.
    const Model unused = loadText("OFF 5 1 0  0 0 0  1 0 0  0 1 0  7 7 7  8 8 8  3 2 1 0");
    EXPECT_EQ(unused.vertexCount, 5);
    EXPECT_EQ(unused.vertices[4].x, 8.0);
    EXPECT_EQ(unused.faces[0].cornerPosition[0].y, 1.0);

    // The tightest file that holds its counts: one character and one
    // separator per number.
    const Model tight = loadText("OFF 1 1 0 1 2 3 3 0 0 0");
    EXPECT_EQ(tight.faces[0].cornerPosition[2].z, 3.0);

    const Model empty = loadText("OFF 0 0 0");
    EXPECT_EQ(empty.vertexCount, 0);
    EXPECT_EQ(empty.faceCount, 0);
}

TEST(OffReader, PositionsStayExactlyAsParsed) {
    const Model model = loadText("OFF 2 0 0 0.1 -1e-320 1.7976931348623157e308 1e400 -0x1.8p1 1e-400");
    EXPECT_EQ(model.vertices[0].x, 0.1);
    EXPECT_EQ(model.vertices[0].y, -1e-320);  // subnormal
    EXPECT_EQ(model.vertices[0].z, 1.7976931348623157e308);
    EXPECT_EQ(model.vertices[1].x, INFINITY);
    EXPECT_EQ(model.vertices[1].y, -3.0);
    EXPECT_EQ(model.vertices[1].z, 0.0);
}

// The fast way converts m * 10^e with one multiplication or division, which
// rounds correctly only while 10^|e| is an exact double (|e| <= 22). Every
// m * 10^±22 and m * 10^±23 for m up to 3000, through the whole text reader,
// must come out as strtod gives it: a range wider by one power of ten gets
// about half of the 10^23 band wrong.
TEST(OffReader, NumbersAtTheEdgeOfTheFastWayMatchStrtod) {
    std::vector<std::string> tokens;
    for (int m = 1; m <= 3000; ++m)  // 12000 numbers, 4000 vertices
        for (const char* exponent : {"e22", "e23", "e-22", "e-23"}) tokens.push_back(std::to_string(m) + exponent);
    std::string text = "OFF " + std::to_string(tokens.size() / 3) + " 1 0\n";
    for (const std::string& token : tokens) text += token + "\n";
    text += "3 0 1 2\n";
    expectFastWayTakes(text, 1);
    OffNumbers numbers;
    std::string error;
    ASSERT_TRUE(readOffText(text, "edge.off", numbers, error, 1)) << error;
    const double* read = &numbers.vertices[0].x;
    int wrong = 0;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const double expected = std::strtod(tokens[i].c_str(), nullptr);
        if (std::memcmp(&read[i], &expected, sizeof expected) != 0 && ++wrong <= 5)
            ADD_FAILURE() << tokens[i] << ": read " << read[i] << ", strtod gives " << expected;
    }
    EXPECT_EQ(wrong, 0);
}

struct Malformed {
    const char* name;
    std::string text;
    const char* message;           // what follows "<path>:"
    const char* stream = nullptr;  // what a stream of the same bytes gets instead, when it differs
};

// Through the reader alone: every kind of fault, as a whole text and as a
// stream (the real binary tries a few of each kind in hostile_test).
TEST(OffReader, MalformedFilesAreRefusedWithLineAndReason) {
    const std::string head = "OFF\n4 2 0\n0 0 0\n1 0 0\n1 1 0\n0 1 0\n";   // faces start on line 7
    const std::string triangleHead = "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n";  // one face record due, on line 6
    const Malformed cases[] = {
        {"empty file", "", "1: keyword: expected a keyword, found end of file"},
        {"only white space", " \n\t\n", "2: keyword: expected a keyword, found end of file"},
        {"keyword of 12 characters", "OFFOFFOFFOFF 0 0 0",
         "1: keyword: expected a keyword of at most 11 characters, found 'OFFOFFOFFOFF'"},
        {"keyword of 5000 characters", std::string(5000, 'K') + " 0 0 0\n",
         "1: keyword: expected a keyword of at most 11 characters, found "
         "'KKKKKKKKKKKKKKKKKKKKKKKKKKKKKKKKKKKKKKKK...' (5000 bytes)"},
        {"no counts", "OFF\n", "1: vertex count: expected an integer, found end of file"},
        {"file ends inside the counts", "OFF\n3 1\n", "2: edge count: expected an integer, found end of file"},
        {"count not a number", "OFF\nfour 2 0\n", "2: vertex count: expected an integer, found 'four'"},
        {"count with a fraction", "OFF\n4.0 2 0\n", "2: vertex count: expected an integer, found '4.0'"},
        {"count beyond 32 bits", "OFF\n4294967296 2 0\n",
         "2: vertex count: expected an integer in -2147483648..2147483647, found '4294967296'"},
        {"count of 2^32 + 3", "OFF\n4294967299 1 0\n",
         "2: vertex count: expected an integer in -2147483648..2147483647, found '4294967299'"},
        {"count beyond 64 bits", "OFF\n3 99999999999999999999999999999 0\n",
         "2: face count: expected an integer in -2147483648..2147483647, found '99999999999999999999999999999'"},
        {"negative count beyond 32 bits", "OFF\n3 -4294967297 0\n",
         "2: face count: expected an integer in -2147483648..2147483647, found '-4294967297'"},
        {"count of a mebibyte of digits", "OFF " + std::string(1 << 20, '7') + " 0 0\n",
         "1: vertex count: expected an integer in -2147483648..2147483647, found "
         "'7777777777777777777777777777777777777777...' (1048576 bytes)",
         "1: vertex count: expected an integer, found "
         "'7777777777777777777777777777777777777777...' (more than 65536 bytes)"},
        {"negative vertex count", "OFF\n-1 0 0\n", "2: vertex count: expected a count of 0 or more, found '-1'"},
        {"most negative count", "OFF\n-2147483648 0 0\n",
         "2: vertex count: expected a count of 0 or more, found '-2147483648'"},
        {"negative face count", "OFF\n0 -5 0\n", "2: face count: expected a count of 0 or more, found '-5'"},
        {"edge count not a number", "OFF\n0 0 #\n", "2: edge count: expected an integer, found '#'"},
        {"more vertices than the file can hold", "OFF\n2147483647 0 0\n0 0 0\n",
         "2: vertex count: expected at most 1 vertices in the 7 bytes that follow the header, found '2147483647'",
         "3: vertex 1 of 2147483647: expected a number, found end of file"},
        {"more faces than the file can hold", "OFF\n1 2147483647\n0\n0 0 0\n",
         "2: face count: expected at most 0 faces in the 7 bytes that follow the header, found '2147483647'",
         "4: face 0 of 2147483647: expected an integer, found end of file"},
        {"giant counts everywhere", "OFF 2147483647 2147483647 2147483647\n",
         "1: vertex count: expected at most 0 vertices in the 1 bytes that follow the header, found '2147483647'",
         "1: vertex 0 of 2147483647: expected a number, found end of file"},
        {"counts the file cannot hold", "OFF\n1000 1000 0\n0 0 0\n1 1 1\n",
         "2: vertex count: expected at most 2 vertices in the 13 bytes that follow the header, found '1000'",
         "4: vertex 2 of 1000: expected a number, found end of file"},
        {"file ends inside a vertex", "OFF\n3 1 0\n0 0 0\n1 0",
         "2: vertex count: expected at most 1 vertices in the 10 bytes that follow the header, found '3'",
         "4: vertex 1 of 3: expected a number, found end of file"},
        {"exponent without digits", "OFF\n2 0 0\n0 0 0\n1 0 4e\n", "4: vertex 1 of 2: expected a number, found '4e'"},
        {"two signs", "OFF\n2 0 0\n0 0 0\n--1 0 0\n", "4: vertex 1 of 2: expected a number, found '--1'"},
        {"comma for a point", "OFF\n2 0 0\n0 0 0\n1,5 0 0\n", "4: vertex 1 of 2: expected a number, found '1,5'"},
        {"file ends inside the vertices", "OFF\n2 0 0\n0 0 0\n1 0    \n",
         "4: vertex 1 of 2: expected a number, found end of file"},
        {"file ends inside the faces", head + "3 0 1 2\n3 0 2   ",
         "8: face 1 of 2: expected an integer, found end of file"},
        {"fraction where an index is due", head + "3 0 1 2.0\n3 0 2 3\n",
         "7: face 0 of 2: expected an integer, found '2.0'"},
        {"fraction as the corner count", triangleHead + "3.0 0 1 2\n",
         "6: face 0 of 1: expected an integer, found '3.0'"},
        {"index above the 32-bit range", triangleHead + "3 0 1 2147483648\n",
         "6: face 0 of 1: expected an integer in -2147483648..2147483647, found '2147483648'"},
        {"index below the 32-bit range", triangleHead + "3 0 -2147483649 2\n",
         "6: face 0 of 1: expected an integer in -2147483648..2147483647, found '-2147483649'"},
        {"index past the last vertex", head + "3 0 1 2\n3 0 2 4\n",
         "8: face 1 of 2: expected a vertex index in 0..3, found '4'"},
        {"largest index", triangleHead + "3 0 1 2147483647\n",
         "6: face 0 of 1: expected a vertex index in 0..2, found '2147483647'"},
        {"negative index", head + "3 0 -1 2\n3 0 2 3\n", "7: face 0 of 2: expected a vertex index in 0..3, found '-1'"},
        {"face without vertices", "OFF 0 1 0 3 0 0 0",
         "1: face 0 of 1: expected no face records in a mesh without vertices, found '0'"},
        {"NUL byte", std::string("OFF\n1 0 0\n0 0") + '\0' + " 0\n",
         "3: vertex 0 of 1: expected a number, found a NUL byte"},
        {"NUL byte as the first byte", std::string(1, '\0') + "OFF 0 0 0\n",
         "1: keyword: expected a keyword, found a NUL byte"},
        {"NUL byte inside the keyword", std::string("OF") + '\0' + "F 0 0 0\n",
         "1: keyword: expected a keyword, found a NUL byte"},
        {"NUL byte between records", triangleHead + '\0' + "3 0 1 2\n",
         "6: face 0 of 1: expected an integer, found a NUL byte"},
        {"NUL bytes after a header that wants them all", "OFF 300000000 0 0\n" + std::string(100000, '\0'),
         "2: vertex 0 of 300000000: expected a number, found a NUL byte"},
        {"binary bytes", "OFF\n1 0 0\n\x01\xff\x7f 0 0\n",
         "3: vertex 0 of 1: expected a number, found '\\x01\\xff\\x7f'"},
        {"control bytes and UTF-8 in a number", "OFF\n1 0 0\n\x1b[31m \xe2\x88\x9e 0\n",
         "3: vertex 0 of 1: expected a number, found '\\x1b[31m'"},
        {"long token", "OFF 1 0 0 " + std::string(5000, '7') + "x 0 0",
         "1: vertex 0 of 1: expected a number, found '7777777777777777777777777777777777777777...' (5001 bytes)"},
        {"endless digits on a stream", "OFF 1 0 0 " + std::string(200000, '7'),
         "1: vertex 0 of 1: expected a number, found end of file",  // the whole text is one short of its records
         "1: vertex 0 of 1: expected a number, found '7777777777777777777777777777777777777777...' "
         "(more than 65536 bytes)"},
    };
    for (const Malformed& c : cases) {
        SCOPED_TRACE(c.name);
        // A text holds what a regular file is read as: up to its first NUL byte.
        const std::string text = c.text.substr(0, c.text.find('\0') + (c.text.find('\0') != std::string::npos));
        for (int threads : {1, 2}) {
            OffNumbers numbers;
            std::string error;
            EXPECT_FALSE(readOffText(text, "bad.off", numbers, error, threads));
            EXPECT_EQ(error, std::string("bad.off:") + c.message) << threads << " threads";
            EXPECT_EQ(numbers.vertexCount, 0);
            EXPECT_EQ(numbers.vertices, nullptr);
            EXPECT_EQ(numbers.corners, nullptr);
        }
        OffNumbers streamed;
        std::string error;
        EXPECT_FALSE(readThroughPipe(c.text, "fifo.off", streamed, error));
        EXPECT_EQ(error, std::string("fifo.off:") + (c.stream ? c.stream : c.message)) << "as a stream";
        EXPECT_EQ(streamed.corners, nullptr);
    }
}

// The cut after every token of a small mesh, at each record boundary and
// inside every record, through the whole load.
TEST(OffReader, AMeshCutAfterAnyTokenIsRefused) {
    const std::string mesh = "OFF\n4 2 0\n0 0 0\n1 0 0\n1 1 0\n0 1 0\n3 0 1 2\n3 0 2 3\n";
    int cuts = 0;
    for (std::size_t end = 0; end + 1 < mesh.size(); ++end) {
        const bool tokenEndsHere = end == 0 || (mesh[end] == ' ' || mesh[end] == '\n');
        if (!tokenEndsHere || (end > 0 && mesh[end - 1] == ' ')) continue;
        SCOPED_TRACE("cut after byte " + std::to_string(end));
        const std::string path = writeTempFile("cut.off", mesh.substr(0, end));
        Model model;
        std::string error;
        EXPECT_FALSE(loadModel(path.c_str(), model, error));
        EXPECT_EQ(error.substr(0, path.size() + 1), path + ":");
        EXPECT_EQ(model.faces, nullptr);
        OffNumbers streamed;
        EXPECT_FALSE(readThroughPipe(mesh.substr(0, end), "cut.off", streamed, error));
        EXPECT_NE(error.find("found end of file"), std::string::npos) << error;
        ++cuts;
    }
    EXPECT_EQ(cuts, 24);  // the empty file and a cut after each token but the last
}

// Independent reading of a well-formed file: istringstream for the tokens,
// strtod/strtol for the values.
struct Reference {
    std::vector<double> coordinates;
    std::vector<int> indices;
    int vertexCount = 0, faceCount = 0;
};

Reference readReference(const std::string& text) {
    std::istringstream in(text);
    std::string token;
    Reference ref;
    in >> token >> ref.vertexCount >> ref.faceCount >> token;
    for (int i = 0; i < 3 * ref.vertexCount && in >> token; ++i)
        ref.coordinates.push_back(std::strtod(token.c_str(), nullptr));
    for (int i = 0; i < 4 * ref.faceCount && in >> token; ++i)
        if (i % 4 != 0) ref.indices.push_back(static_cast<int>(std::strtol(token.c_str(), nullptr, 10)));
    return ref;
}

void expectMatchesReference(const std::string& path) {
    const std::string text = readTextFile(path);
    Model model;
    std::string error;
    ASSERT_TRUE(loadModel(path.c_str(), model, error)) << error;
    const Reference ref = readReference(text);
    ASSERT_EQ(model.vertexCount, ref.vertexCount);
    ASSERT_EQ(model.faceCount, ref.faceCount);
    ASSERT_EQ(std::memcmp(model.vertices.get(), ref.coordinates.data(), ref.coordinates.size() * sizeof(double)), 0)
        << "positions differ from strtod's";
    for (int j = 0; j < model.faceCount; ++j)
        for (int k = 0; k < 3; ++k) {
            ASSERT_EQ(model.faces[j].vertexIndex[k], ref.indices[3 * j + k]);
            ASSERT_EQ(
                std::memcmp(&model.faces[j].cornerPosition[k], &model.vertices[ref.indices[3 * j + k]], sizeof(Vertex)),
                0);
        }
}

TEST(OffReader, RealFilesLoadBitForBit) {
    for (const char* name : {"cgal-cube.off", "cgal-octahedron.off", "cgal-degtri_sliding.off", "cgal-negative.off",
                             "cgal-horizons.off", "geomview-cone.off", "igl-2triangles.off", "cgal-triangle.off"}) {
        SCOPED_TRACE(name);
        expectMatchesReference(std::string(TEST_DATA_DIR) + "/" + name);
    }
}

TEST(OffReader, RealFilesOutsideTheLayoutAreRefused) {
    const struct {
        const char* name;
        const char* message;
    } cases[] = {
        {"trimesh-comments.off", "2: vertex count: expected an integer, found '#'"},
        {"compascgal-output.off", "7760: face 3878 of 8823: expected an integer, found end of file"},
        {"assimp-OutOfMemory.off",
         "2: vertex count: expected an integer in -2147483648..2147483647, found '353535235358'"},
        {"pmp-beetle.off", "1: vertex count: expected an integer, found 'BINARY'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = std::string(TEST_DATA_DIR) + "/" + c.name;
        Model model;
        std::string error;
        EXPECT_FALSE(loadModel(path.c_str(), model, error));
        EXPECT_EQ(error, path + ":" + c.message);
    }
}

// A mesh text of some megabytes, one record per line, big enough for the
// reader to cut it into one chunk per thread. Coordinates come in every
// spelling the layout allows, most of them short decimals as real files
// have, and some that only strtod can settle.
struct BigText {
    std::string text;
    int vertexCount = 0, faceCount = 0;
    int firstFaceLine = 0;  // line of face 0; vertex i is on line 3 + i
};

std::string coordinate(std::mt19937_64& random) {
    char buffer[64];
    const double value = std::uniform_real_distribution<double>(-20, 20)(random);
    switch (random() % 16) {
        case 0: std::snprintf(buffer, sizeof buffer, "%.17g", value); return buffer;
        case 1: std::snprintf(buffer, sizeof buffer, "%.3e", value); return buffer;
        case 2: {  // on both sides of the limits of the exact quick conversion
            const char* edges[] = {"9007199254740992",
                                   "9007199254740993",
                                   "9007199254740991e-3",
                                   "1e22",
                                   "1e23",
                                   "3e-22",
                                   "3e-23",
                                   "123456789012345678",
                                   "1234567890123456789",
                                   "12345678901234567890",
                                   "0.0000000000000000001",
                                   "-0",
                                   "+.5",
                                   "5.",
                                   "007.50",
                                   "1E+2",
                                   "1e-0",
                                   "0e999",
                                   "1e-400",
                                   "2e400",
                                   "0x1.8p1",
                                   "-inf",
                                   "nan"};
            return edges[random() % (sizeof edges / sizeof edges[0])];
        }
        default: std::snprintf(buffer, sizeof buffer, "%.9g", value); return buffer;
    }
}

BigText bigText(int vertexCount, int faceCount, std::size_t padding, std::uint64_t seed) {
    std::mt19937_64 random(seed);
    BigText big;
    big.vertexCount = vertexCount;
    big.faceCount = faceCount;
    big.text = "OFF\n" + std::to_string(vertexCount) + " " + std::to_string(faceCount) + " 0" +
               std::string(padding, ' ') + "\n";
    for (int i = 0; i < vertexCount; ++i) {
        big.text += coordinate(random) + " " + coordinate(random) + (random() % 9 ? " " : "\t");
        big.text += coordinate(random) + "\n";
    }
    big.firstFaceLine = 3 + vertexCount;
    for (int j = 0; j < faceCount; ++j) {
        big.text += random() % 50 ? "3" : "+3";
        // Appended piece by piece: GCC 12 at -O3 sees a false overlap in
        // " " + std::to_string(...) (-Wrestrict).
        for (int k = 0; k < 3; ++k) {
            big.text += ' ';
            big.text += std::to_string((j / 2 + random() % 300) % vertexCount);
        }
        big.text += random() % 40 ? "\n" : " \r\n";
    }
    return big;
}

void expectSameNumbers(const OffNumbers& actual, const OffNumbers& expected) {
    ASSERT_EQ(actual.vertexCount, expected.vertexCount);
    ASSERT_EQ(actual.faceCount, expected.faceCount);
    EXPECT_EQ(std::memcmp(actual.vertices.get(), expected.vertices.get(), sizeof(Vertex) * actual.vertexCount), 0);
    EXPECT_EQ(std::memcmp(actual.corners.get(), expected.corners.get(), 12 * std::size_t(actual.faceCount)), 0);
}

TEST(OffReader, BigFilesLoadBitForBitOnAnyNumberOfThreads) {
    // More vertex text than face text, and the other way round, with the
    // cuts between chunks shifted by the padding after the header.
    const struct {
        int vertexCount, faceCount;
        std::size_t padding;
    } shapes[] = {{300000, 20000, 7}, {30000, 500000, 0}, {200000, 300000, 3}};
    std::uint64_t seed = 1;
    for (const auto& shape : shapes) {
        SCOPED_TRACE(std::to_string(shape.vertexCount) + " vertices, " + std::to_string(shape.faceCount) + " faces");
        const BigText big = bigText(shape.vertexCount, shape.faceCount, shape.padding, seed++);
        const Reference ref = readReference(big.text);
        OffNumbers one;
        std::string error;
        ASSERT_TRUE(readOffText(big.text, "big.off", one, error, 1)) << error;
        ASSERT_EQ(std::memcmp(one.vertices.get(), ref.coordinates.data(), ref.coordinates.size() * sizeof(double)), 0)
            << "positions differ from strtod's";
        ASSERT_EQ(std::memcmp(one.corners.get(), ref.indices.data(), ref.indices.size() * sizeof(int)), 0);
        for (int threads : {1, 2, 3}) {
            SCOPED_TRACE(std::to_string(threads) + " threads");
            OffNumbers many;
            ASSERT_TRUE(readOffText(big.text, "big.off", many, error, threads)) << error;
            expectSameNumbers(many, one);
            expectFastWayTakes(big.text, threads);
        }
        OffNumbers streamed;
        ASSERT_TRUE(readThroughPipe(big.text, "big.off", streamed, error)) << error;
        expectSameNumbers(streamed, one);
    }
}

TEST(OffReader, AFaultLateInABigFileIsReportedAsTheFirstOne) {
    const BigText big = bigText(200000, 400000, 0, 99);
    // Where each line starts, to plant faults on lines of our choosing.
    std::vector<std::size_t> lineStart = {0};
    for (std::size_t i = 0; i < big.text.size(); ++i)
        if (big.text[i] == '\n') lineStart.push_back(i + 1);
    auto withLine = [&](std::string text, int line, const std::string& record) {
        return text.replace(lineStart[line - 1], lineStart[line] - lineStart[line - 1], record + "\n");
    };
    const int lastFace = big.faceCount - 1, lastFaceLine = big.firstFaceLine + lastFace;
    const std::string outOfRange = "3 0 1 " + std::to_string(big.vertexCount);
    const struct {
        const char* name;
        std::string text;
        std::string message;
    } cases[] = {
        {"index out of range in the last face", withLine(big.text, lastFaceLine, outOfRange),
         std::to_string(lastFaceLine) + ": face " + std::to_string(lastFace) + " of " + std::to_string(big.faceCount) +
             ": expected a vertex index in 0.." + std::to_string(big.vertexCount - 1) + ", found '" +
             std::to_string(big.vertexCount) + "'"},
        {"a fraction for the corner count near the end", withLine(big.text, lastFaceLine - 5, "3.0 0 1 2"),
         std::to_string(lastFaceLine - 5) + ": face " + std::to_string(lastFace - 5) + " of " +
             std::to_string(big.faceCount) + ": expected an integer, found '3.0'"},
        {"two faults: the earlier one is reported",
         withLine(withLine(big.text, lastFaceLine, outOfRange), 3 + 150000, "1 2 x"),
         std::to_string(3 + 150000) + ": vertex 150000 of " + std::to_string(big.vertexCount) +
             ": expected a number, found 'x'"},
        {"the file ends early", big.text.substr(0, lineStart[lastFaceLine - 1] + 4),
         std::to_string(lastFaceLine) + ": face " + std::to_string(lastFace) + " of " + std::to_string(big.faceCount) +
             ": expected an integer, found end of file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (int threads : {1, 2, 3}) {
            OffNumbers numbers;
            std::string error;
            EXPECT_FALSE(readOffText(c.text, "big.off", numbers, error, threads));
            EXPECT_EQ(error, "big.off:" + c.message) << threads << " threads";
            EXPECT_EQ(numbers.corners, nullptr);
        }
        OffNumbers streamed;
        std::string error;
        EXPECT_FALSE(readThroughPipe(c.text, "big.off", streamed, error));
        EXPECT_EQ(error, "big.off:" + c.message) << "as a stream";
    }
}

// The full corpus lives beside the repository in a development checkout only.
TEST(OffReader, SharedCorpusMatchesItsExpectedTable) {
    const std::string corpus = SHARED_CORPUS_DIR;
    std::ifstream table(corpus + "/expected.tsv");
    if (!table) GTEST_SKIP() << "no corpus at " << corpus << "; skipping";
    std::string line;
    std::getline(table, line);  // column names
    int files = 0;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string name, box[6], outOfRange;
        int vertexCount = 0, faceCount = 0;
        fields >> name >> vertexCount >> faceCount >> box[0] >> box[1] >> box[2] >> box[3] >> box[4] >> box[5] >>
            outOfRange;
        SCOPED_TRACE(name);
        const std::string path = corpus + "/" + name;
        expectMatchesReference(path);
        Model model;
        std::string error;
        ASSERT_TRUE(loadModel(path.c_str(), model, error)) << error;
        EXPECT_EQ(model.vertexCount, vertexCount);
        EXPECT_EQ(model.faceCount, faceCount);
        double low[3] = {INFINITY, INFINITY, INFINITY}, high[3] = {-INFINITY, -INFINITY, -INFINITY};
        for (int i = 0; i < model.vertexCount; ++i) {
            const double* v = &model.vertices[i].x;
            for (int a = 0; a < 3; ++a) low[a] = std::fmin(low[a], v[a]), high[a] = std::fmax(high[a], v[a]);
        }
        for (int a = 0; a < 3; ++a) {
            EXPECT_EQ(low[a], std::strtod(box[a].c_str(), nullptr)) << "axis " << a;
            EXPECT_EQ(high[a], std::strtod(box[3 + a].c_str(), nullptr)) << "axis " << a;
        }
        ++files;
    }
    EXPECT_EQ(files, 20);
}

}  // namespace
