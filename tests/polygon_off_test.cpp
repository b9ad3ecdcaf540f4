// OFF as other programs write it, read by tarvexgl-fit's own reader: every
// variant as a literal file with what it must yield, and the malformed ones
// with their exact messages.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>

#include "address_sanitizer.h"
#include "formats/polygon_off.h"
#include "geometry/triangulate.h"

using namespace std::string_literals;

namespace {

// The triangles as "a b c, a b c, ...": corner order shows the winding.
std::string triangleList(const PolygonMesh& mesh) {
    std::vector<Triangle> triangles;
    EXPECT_EQ(triangulateMesh(mesh, triangles), -1);
    std::string text;
    for (const Triangle& t : triangles)
        text +=
            (text.empty() ? "" : ", ") + std::to_string(t[0]) + " " + std::to_string(t[1]) + " " + std::to_string(t[2]);
    return text;
}

// Three points, (0 0 0) (1 0 0) (0 1 0), then a fourth (1 1 0) where needed.
const std::string tri = "0 0 0\n1 0 0\n0 1 0\n";

struct Variant {
    const char* name;
    std::string text;
    std::size_t vertices;
    const char* triangles;
    Vertex last;  // the last vertex as read
};

// Binary numbers, big-endian (the format's own order) or little-endian.
std::string be(std::uint32_t w) { return {char(w >> 24), char(w >> 16 & 0xff), char(w >> 8 & 0xff), char(w & 0xff)}; }
std::string le(std::uint32_t w) { return {char(w & 0xff), char(w >> 8 & 0xff), char(w >> 16 & 0xff), char(w >> 24)}; }
constexpr std::uint32_t one = 0x3f800000, two = 0x40000000;  // 1.0f, 2.0f

std::string binaryTriangle(std::string (*word)(std::uint32_t), bool colourCount) {
    std::string s = "OFF BINARY\n" + word(3) + word(1) + word(0);
    for (std::uint32_t v : {0u, 0u, 0u, one, 0u, 0u, 0u, two, 0u}) s += word(v);
    s += word(3) + word(0) + word(1) + word(2);
    if (colourCount) s += word(3) + word(one) + word(0) + word(0);
    return s;
}

// A square of four triangles around its centre, big-endian with a colour
// count of 0 after every face but the last, which has `lastColours`. Read
// without colour counts, each 0 would be a face of no corners.
std::string binaryFan(std::uint32_t lastColours) {
    std::string s = "OFF BINARY\n" + be(5) + be(4) + be(0);
    for (std::uint32_t v : {0u, 0u, 0u, two, 0u, 0u, two, two, 0u, 0u, two, 0u, one, one, 0u}) s += be(v);
    for (std::uint32_t j = 0; j < 4; ++j) s += be(3) + be(j) + be((j + 1) % 4) + be(4) + be(j < 3 ? 0 : lastColours);
    return s;
}

TEST(FitOffReader, VariantsFoundInTheWild) {
    const Variant variants[] = {
        {"plain", "OFF\n3 1 0\n" + tri + "3 0 1 2\n", 3, "0 1 2", {0, 1, 0}},
        {"all on one line", "OFF 3 1 0 0 0 0 1 0 0 0 1 0 3 0 1 2", 3, "0 1 2", {0, 1, 0}},
        {"two faces on one line", "OFF 4 2 0 " + tri + "1 1 0 3 0 1 2 3 1 3 2", 4, "0 1 2, 1 3 2", {1, 1, 0}},
        {"comments everywhere",
         "# made by hand\nOFF # keyword\n# counts next\n3 1 0 # V F E\n0 0 0 # first\n1 0 0\n# between\n0 1 0\n3 0 "
         "1 2 # face\n# end",
         3,
         "0 1 2",
         {0, 1, 0}},
        {"comment glued to a number", "OFF\n3 1 0\n0 0 0#a\n1 0 0\n0 1 0\n3 0 1 2#b\n", 3, "0 1 2", {0, 1, 0}},
        {"CRLF and blank lines",
         "OFF\r\n\r\n3 1 0\r\n\r\n0 0 0\r\n1 0 0\r\n0 1 0\r\n\r\n3 0 1 2\r\n",
         3,
         "0 1 2",
         {0, 1, 0}},
        {"keyword glued to the count", "\t OFF3 1 0 # or nah\n" + tri + "3 0 1 2\n", 3, "0 1 2", {0, 1, 0}},
        {"no keyword", "3 1 0\n" + tri + "3 0 1 2\n", 3, "0 1 2", {0, 1, 0}},
        {"no edge count", "OFF\n3 1\n" + tri + "3 0 1 2\n", 3, "0 1 2", {0, 1, 0}},
        {"COFF, RGBA floats",
         "COFF\n3 1 0\n0 0 0 1 0 0 1\n1 0 0 0 1 0 1\n0 1 0 0 0 1 1\n3 0 1 2\n",
         3,
         "0 1 2",
         {0, 1, 0}},
        {"COFF, RGBA all on one line",
         "COFF 3 1 0 0 0 0 1 0 0 1 1 0 0 0 1 0 1 0 1 0 0 0 1 1 3 0 1 2",
         3,
         "0 1 2",
         {0, 1, 0}},
        {"COFF, RGB integers",
         "COFF\n3 1 0\n0 0 0 255 0 0\n1 0 0 0 255 0\n0 1 0 0 0 255\n3 0 1 2\n",
         3,
         "0 1 2",
         {0, 1, 0}},
        {"NOFF", "NOFF\n3 1 0\n0 0 0 0 0 1\n1 0 0 0 0 1\n0 1 0 0 0 1\n3 0 1 2\n", 3, "0 1 2", {0, 1, 0}},
        {"CNOFF",
         "CNOFF\n3 1 0\n0 0 0 0 0 1 1 0 0 1\n1 0 0 0 0 1 1 0 0 1\n0 1 0 0 0 1 1 0 0 1\n3 0 1 2\n",
         3,
         "0 1 2",
         {0, 1, 0}},
        {"STOFF", "STOFF\n3 1 0\n0 0 0 0 0\n1 0 0 1 0\n0 1 0 0 1\n3 0 1 2\n", 3, "0 1 2", {0, 1, 0}},
        {"4OFF divides by w", "4OFF\n3 1 0\n0 0 0 1\n2 0 0 2\n0 3 6 3\n3 0 1 2\n", 3, "0 1 2", {0, 1, 2}},
        {"nOFF of dimension 3", "nOFF\n3\n3 1 0\n" + tri + "3 0 1 2\n", 3, "0 1 2", {0, 1, 0}},
        {"face colour RGB", "OFF\n3 1 0\n" + tri + "3\t0 1 2\t0.784 0.000 0.000\n", 3, "0 1 2", {0, 1, 0}},
        {"face colour RGBA", "OFF\n3 1 0\n" + tri + "3 0 1 2 0.5 0.5 0.5 1\n", 3, "0 1 2", {0, 1, 0}},
        {"face colour as integers", "OFF\n3 1 0\n" + tri + "3 0 1 2 255 0 0\n", 3, "0 1 2", {0, 1, 0}},
        {"face colour map index", "OFF\n3 1 0\n" + tri + "3 0 1 2 7\n", 3, "0 1 2", {0, 1, 0}},
        {"quad, anticlockwise", "OFF\n4 1 0\n" + tri + "1 1 0\n4 0 1 3 2\n", 4, "0 1 3, 0 3 2", {1, 1, 0}},
        {"quad, clockwise", "OFF\n4 1 0\n" + tri + "1 1 0\n4 0 2 3 1\n", 4, "0 2 3, 0 3 1", {1, 1, 0}},
        {"triangle and quad with colours",
         "OFF\n4 2 0\n" + tri + "1 1 0\n3 0 1 2 1 0 0\n4 0 1 3 2 0 1 0 1\n",
         4,
         "0 1 2, 0 1 3, 0 3 2",
         {1, 1, 0}},
        {"faces of 1 and 2 corners are dropped", "OFF\n3 3 0\n" + tri + "1 0\n2 0 1\n3 2 1 0\n", 3, "2 1 0", {0, 1, 0}},
        {"binary, big-endian", binaryTriangle(be, true), 3, "0 1 2", {0, 2, 0}},
        {"binary, little-endian", binaryTriangle(le, true), 3, "0 1 2", {0, 2, 0}},
        {"binary, big-endian without colour counts", binaryTriangle(be, false), 3, "0 1 2", {0, 2, 0}},
        {"binary, little-endian without colour counts", binaryTriangle(le, false), 3, "0 1 2", {0, 2, 0}},
        {"binary, bytes after the last colour", binaryTriangle(be, true) + "\n", 3, "0 1 2", {0, 2, 0}},
        {"binary fan", binaryFan(0), 5, "0 1 4, 1 2 4, 2 3 4, 3 0 4", {1, 1, 0}},
    };
    for (const Variant& v : variants) {
        SCOPED_TRACE(v.name);
        PolygonMesh mesh;
        std::string error;
        ASSERT_TRUE(readPolygonOff(v.text, "m.off", mesh, error)) << error;
        EXPECT_EQ(mesh.vertices.size(), v.vertices);
        EXPECT_EQ(triangleList(mesh), v.triangles);
        const Vertex& last = mesh.vertices.back();
        EXPECT_EQ(last.x, v.last.x);
        EXPECT_EQ(last.y, v.last.y);
        EXPECT_EQ(last.z, v.last.z);
    }
}

TEST(FitOffReader, MalformedFilesGetOneExactLine) {
    const struct {
        const char* name;
        std::string text;
        const char* message;
    } cases[] = {
        {"empty", "", "m.off:1: keyword: expected an OFF keyword or the vertex count, found end of file"},
        {"only comments", "# nothing\n# here\n",
         "m.off:2: keyword: expected an OFF keyword or the vertex count, found end of file"},
        {"another format", "ply\nformat ascii 1.0\n",
         "m.off:1: keyword: expected an OFF keyword or the vertex count, found 'ply'"},
        {"count beyond 32 bits", "OFF\n353535235358 6 0\n0 0 0\n",
         "m.off:2: vertex count: expected an integer in -2147483648..2147483647, found '353535235358'"},
        {"negative count", "OFF\n3 -1 0\n" + tri, "m.off:2: face count: expected a count of 0 or more, found '-1'"},
        {"count beyond what the file holds", "OFF\n1000000 1 0\n0 0 0\n3 0 0 0\n",
         "m.off:2: vertex count: expected at most 2 vertices in the 15 bytes that follow the header, found "
         "'1000000'"},
        {"face count beyond what the file holds", "OFF\n3 100 0\n" + tri + "3 0 1 2\n",
         "m.off:2: face count: expected at most 4 faces in the 27 bytes that follow the header, found '100'"},
        {"point set", "OFF\n3 0 0\n" + tri, "m.off:2: face count: expected at least one face, found '0'"},
        {"index out of range", "OFF\n3 1 0\n" + tri + "3 0 1 3\n",
         "m.off:6: face 0 of 1: expected a vertex index in 0..2, found '3'"},
        {"negative index", "OFF\n3 1 0\n" + tri + "3 0 -1 2\n",
         "m.off:6: face 0 of 1: expected a vertex index in 0..2, found '-1'"},
        {"negative corner count", "OFF\n3 1 0\n" + tri + "-3 0 1 2\n",
         "m.off:6: face 0 of 1: expected a count of 0 or more, found '-3'"},
        {"truncated in a face", "OFF\n3 1 0\n" + tri + "3 0 1",
         "m.off:6: face 0 of 1: expected an integer, found end of file"},
        {"truncated in a vertex, blank lines after", "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1\n\n\n\n\n\n",
         "m.off:10: vertex 2 of 3: expected a number, found end of file"},  // the file's last line
        {"not a number", "OFF\n3 1 0\n0 0 0\n1 zero 0\n0 1 0\n3 0 1 2\n",
         "m.off:4: vertex 1 of 3: expected a number, found 'zero'"},
        {"not finite", "OFF\n3 1 0\n0 0 0\n1 inf 0\n0 1 0\n3 0 1 2\n",
         "m.off:4: vertex 1 of 3: expected a finite number, found 'inf'"},
        {"w of zero", "4OFF\n3 1 0\n0 0 0 1\n1 0 0 0\n0 1 0 1\n3 0 1 2\n",
         "m.off:4: vertex 1 of 3: expected a w that leaves the point finite, found '0'"},
        {"dimension other than 3", "nOFF 4\n3 1 0\n",
         "m.off:1: dimension: expected 3 (only meshes in space are read), found '4'"},
        {"NUL byte", "OFF\n3 1 0\n0 0 0\n\0 0 0\n0 1 0\n3 0 1 2\n"s,
         "m.off:4: vertex 1 of 3: expected a number, found a NUL byte"},
        {"binary cut short in the counts' reach", binaryTriangle(be, true).substr(0, 40),
         "m.off:1: vertex count (big-endian binary, byte 11): expected at most 1 vertices in the 17 bytes that "
         "follow the header, found '3'"},
        {"binary cut short in a face", binaryTriangle(be, true).substr(0, 69),
         "m.off:1: face 0 of 1 (big-endian binary, byte 67): expected an integer, found end of file"},
        {"binary index out of range",
         "OFF BINARY\n" + be(3) + be(1) + be(0) + std::string(36, '\0') + be(3) + be(0) + be(1) + be(7) + be(0),
         "m.off:1: face 0 of 1 (big-endian binary, byte 71): expected a vertex index in 0..2, found '7'"},
        // Read without colour counts, these two would give two of the four
        // triangles; that reading must account for every byte.
        {"binary cut 3 bytes short", binaryFan(0).substr(0, binaryFan(0).size() - 3),
         "m.off:1: face 3 of 4 (big-endian binary, byte 159): expected an integer, found end of file"},
        {"binary colour count 9 on the last face", binaryFan(9),
         "m.off:1: face 3 of 4 (big-endian binary, byte 159): expected a colour count in 0..4, found '9'"},
        {"binary counts beyond the file", "OFF BINARY\n" + le(5000) + le(1) + le(0) + std::string(36, '\0'),
         "m.off:1: vertex count (little-endian binary, byte 11): expected at most 3 vertices in the 36 bytes "
         "that follow the header, found '5000'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PolygonMesh mesh;
        std::string error;
        EXPECT_FALSE(readPolygonOff(c.text, "m.off", mesh, error));
        EXPECT_EQ(error, c.message);
    }
}

// Reads `bytes` with `spare` bytes of address space left, prints the error
// line and ends the process: the body of a death test, which runs in a child.
[[noreturn]] void readWithSpareMemory(const std::string& bytes, rlim_t spare) {
    std::ifstream statm("/proc/self/statm");
    rlim_t pages = 0;
    statm >> pages;
    const rlimit limit{pages * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE)) + spare, RLIM_INFINITY};
    if (::setrlimit(RLIMIT_AS, &limit) != 0) std::_Exit(3);
    PolygonMesh mesh;
    std::string error;
    const bool read = readPolygonOff(bytes, "big.off", mesh, error);
    std::fprintf(stderr, "%s\n", error.c_str());
    std::_Exit(read ? 0 : 1);
}

// Counts the bytes can hold but memory cannot: one line, worded as the
// viewer words it, rather than std::bad_alloc.
TEST(FitOffReader, CountsMemoryCannotHoldGetOneLine) {
    if (addressSanitizer) GTEST_SKIP() << "RLIMIT_AS does not work under ASan";
    constexpr std::uint32_t vertexCount = 4000000;  // 96 MB of vertices
    const std::string text = "OFF\n4000000 1 0\n" + std::string(6 * vertexCount + 8, ' ');
    const std::string binary =
        "OFF BINARY\n" + be(vertexCount) + be(1) + be(0) + std::string(12 * vertexCount + 8, '\0');
    for (const std::string* bytes : {&text, &binary})
        EXPECT_EXIT(readWithSpareMemory(*bytes, 32 << 20), testing::ExitedWithCode(1),
                    "^big\\.off: not enough memory for 4000000 vertices and 1 faces\n$");
}

TEST(FitOffReader, KeywordIsRecognisedBehindComments) {
    EXPECT_TRUE(startsWithOffKeyword("# header\n\n  COFF\n"));
    EXPECT_TRUE(startsWithOffKeyword("OFF8 6 12"));
    EXPECT_TRUE(startsWithOffKeyword("STCN4nOFF"));
    EXPECT_FALSE(startsWithOffKeyword("ply\n"));
    EXPECT_FALSE(startsWithOffKeyword("solid OFF\n"));
    EXPECT_FALSE(startsWithOffKeyword(""));
}

}  // namespace
