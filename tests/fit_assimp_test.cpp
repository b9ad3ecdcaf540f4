// Other formats through assimp, files written here: a small OBJ of quads,
// PLY in text and binary, STL in text and binary. What comes out is what the
// OFF reader would give for the same mesh: shared vertices (STL repeats
// every corner), polygons cut by our own triangulation, faces still facing
// out, and the format's up axis turned onto z.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fit/framing.h"
#include "fit/mesh_file.h"
#include "fit/triangle_mesh.h"
#include "temp_file.h"

namespace {

// The steps of tarvexgl-fit that read a file and stand it up, with `up` or
// the format's own; false with the error, which starts with the path.
bool readAndStandUp(const std::string& path, std::optional<UpAxis> up, TriangleMesh& mesh, std::string& error) {
    PolygonMesh polygons;
    UpAxis formatUp{};
    if (!readMeshFile(path, polygons, formatUp, error)) return false;
    if (!triangulateFaces(std::move(polygons), mesh, error)) {
        error = path + ": " + error;
        return false;
    }
    standUp(mesh.vertices, up.value_or(formatUp));
    keepUsedVertices(mesh);
    return frameForViewer(mesh.vertices, error);
}

// Six times the signed volume a closed mesh encloses: positive when its
// faces are anticlockwise seen from outside.
double sixVolume(const TriangleMesh& mesh) {
    double sum = 0;
    for (const Triangle& t : mesh.triangles) {
        const Vertex a = mesh.vertices[t[0]], b = mesh.vertices[t[1]], c = mesh.vertices[t[2]];
        sum += a.x * (b.y * c.z - b.z * c.y) - a.y * (b.x * c.z - b.z * c.x) + a.z * (b.x * c.y - b.y * c.x);
    }
    return sum;
}

struct Box {
    Vertex low{1e300, 1e300, 1e300}, high{-1e300, -1e300, -1e300};
};
Box boxOf(const TriangleMesh& mesh) {
    Box b;
    for (const Vertex& v : mesh.vertices) {
        b.low = {std::min(b.low.x, v.x), std::min(b.low.y, v.y), std::min(b.low.z, v.z)};
        b.high = {std::max(b.high.x, v.x), std::max(b.high.y, v.y), std::max(b.high.z, v.z)};
    }
    return b;
}

// A box 2 wide (x), 6 tall (y, up in OBJ) and 1 deep (z), as quads facing
// out, in two objects.
const char* const cubeObj =
    "# a tall box\n"
    "o front\n"
    "v 0 0 0\nv 2 0 0\nv 2 6 0\nv 0 6 0\nv 0 0 1\nv 2 0 1\nv 2 6 1\nv 0 6 1\n"
    "f 1 4 3 2\nf 5 6 7 8\nf 1 2 6 5\n"
    "o back\n"
    "f 4 8 7 3\nf 1 5 8 4\nf 2 3 7 6\n";

// A square pyramid 4 tall along y: a quad base and four triangles.
const char* const pyramidPlyHeader =
    "ply\nformat %s 1.0\nelement vertex 5\nproperty float x\nproperty float y\nproperty float z\n"
    "element face 5\nproperty list uchar int vertex_indices\nend_header\n";
const float pyramidVertices[5][3] = {{-1, 0, -1}, {1, 0, -1}, {1, 0, 1}, {-1, 0, 1}, {0, 4, 0}};
const int pyramidFaces[5][5] = {{4, 0, 1, 2, 3}, {3, 0, 4, 1}, {3, 1, 4, 2}, {3, 2, 4, 3}, {3, 3, 4, 0}};

std::string asciiPly() {
    char header[512];
    std::snprintf(header, sizeof header, pyramidPlyHeader, "ascii");
    std::string text = header;
    for (const auto& v : pyramidVertices)
        text += std::to_string(v[0]) + " " + std::to_string(v[1]) + " " + std::to_string(v[2]) + "\n";
    for (const auto& f : pyramidFaces) {
        for (int k = 0; k <= f[0]; ++k) text += std::to_string(f[k]) + (k < f[0] ? " " : "\n");
    }
    return text;
}

template <class T>
void append(std::string& bytes, T value) {
    char raw[sizeof value];
    std::memcpy(raw, &value, sizeof value);
    bytes.append(raw, sizeof value);  // little-endian on the machines we build on
}

std::string binaryPly() {
    char header[512];
    std::snprintf(header, sizeof header, pyramidPlyHeader, "binary_little_endian");
    std::string bytes = header;
    for (const auto& v : pyramidVertices)
        for (float c : v) append(bytes, c);
    for (const auto& f : pyramidFaces) {
        bytes += static_cast<char>(f[0]);
        for (int k = 1; k <= f[0]; ++k) append(bytes, static_cast<std::int32_t>(f[k]));
    }
    return bytes;
}

// A tetrahedron 5 tall along z (STL's usual up), faces anticlockwise from
// outside, each listing its own three corners as STL does.
const float tetra[4][3] = {{0, 0, 0}, {2, 0, 0}, {0, 2, 0}, {0, 0, 5}};
const int tetraFaces[4][3] = {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}};

std::string asciiStl() {
    std::string text = "solid tetra\n";
    for (const auto& f : tetraFaces) {
        text += "  facet normal 0 0 0\n    outer loop\n";
        for (int k : f)
            text += "      vertex " + std::to_string(tetra[k][0]) + " " + std::to_string(tetra[k][1]) + " " +
                    std::to_string(tetra[k][2]) + "\n";
        text += "    endloop\n  endfacet\n";
    }
    return text + "endsolid tetra\n";
}

std::string binaryStl() {
    std::string bytes(80, ' ');
    bytes.replace(0, 12, "binary tetra");
    append(bytes, std::uint32_t{4});
    for (const auto& f : tetraFaces) {
        for (int i = 0; i < 3; ++i) append(bytes, 0.0f);
        for (int k : f)
            for (float c : tetra[k]) append(bytes, c);
        append(bytes, std::uint16_t{0});
    }
    return bytes;
}

TEST(FitAssimp, FormatsComeInSharedTriangulatedAndUpright) {
    const struct {
        const char* file;
        std::string contents;
        std::size_t vertices, triangles;
        double heightOverWidth;  // of the fitted box, z against the wider of x and y: shows which axis is up
    } cases[] = {
        {"box.obj", cubeObj, 8, 12, 3.0},
        {"pyramid.ply", asciiPly(), 5, 6, 2.0},
        {"pyramid-binary.ply", binaryPly(), 5, 6, 2.0},
        {"tetra.stl", asciiStl(), 4, 4, 2.5},
        {"tetra-binary.stl", binaryStl(), 4, 4, 2.5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = writeTempFile(c.file, c.contents);
        TriangleMesh fitted;
        std::string error;
        ASSERT_TRUE(readAndStandUp(path, std::nullopt, fitted, error)) << error;
        EXPECT_EQ(fitted.vertices.size(), c.vertices);
        EXPECT_EQ(fitted.triangles.size(), c.triangles);
        EXPECT_GT(sixVolume(fitted), 0) << "faces turned inside out";
        const Box b = boxOf(fitted);
        const double wide = std::max(b.high.x - b.low.x, b.high.y - b.low.y);
        EXPECT_NEAR((b.high.z - b.low.z) / wide, c.heightOverWidth, 1e-6);
    }
}

TEST(FitAssimp, UpAxisCanBeGiven) {
    // The OBJ box with z named as up instead: 1 deep becomes 1 tall.
    const std::string path = writeTempFile("box-z.obj", cubeObj);
    TriangleMesh fitted;
    std::string error;
    ASSERT_TRUE(readAndStandUp(path, UpAxis::z, fitted, error)) << error;
    const Box b = boxOf(fitted);
    EXPECT_NEAR((b.high.z - b.low.z) / std::max(b.high.x - b.low.x, b.high.y - b.low.y), 1.0 / 6.0, 1e-6);
    EXPECT_GT(sixVolume(fitted), 0);
}

TEST(FitAssimp, UnreadableAndFacelessFilesGetOneLineWithThePath) {
    const struct {
        const char* file;
        std::string contents;
        const char* startsWith;
    } cases[] = {
        {"points.ply",
         "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\nproperty float z\nend_header\n"
         "0 0 0\n1 0 0\n0 1 0\n",
         ": "},
        {"garbage.stl", "solid\nthis is not a facet\n", ": "},
        {"empty.obj", "", ": "},
        {"lines.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nl 1 2\nl 2 3\n", ": "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = writeTempFile(c.file, c.contents);
        TriangleMesh fitted;
        std::string error;
        EXPECT_FALSE(readAndStandUp(path, std::nullopt, fitted, error));
        EXPECT_EQ(error.rfind(path + c.startsWith, 0), 0u) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        std::cout << "  " << c.file << ": " << error.substr(path.size()) << "\n";
    }
}

}  // namespace
