// Every format tarvexgl-fit reads besides OFF, files written here: OBJ, PLY
// in text and in both binary byte orders, STL in text and binary (readers of
// our own), and glTF and Collada (through the importer, in its child
// process). What comes out is what the OFF reader would give for the same
// mesh: shared vertices (STL repeats every corner), polygons cut by our own
// triangulation, faces still facing out, and the format's up axis turned
// onto z.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "formats/mesh_file.h"
#include "geometry/framing.h"
#include "geometry/safe_range.h"
#include "geometry/triangle_mesh.h"
#include "geometry/up_axis.h"
#include "mesh/join_positions.h"
#include "temp_file.h"

namespace {

// The steps of tarvexgl-fit that read a file, cut it into triangles and stand
// it up, with `up` or the format's own, and frame it; false with the error,
// which starts with the path.
bool readAndStandUp(const std::string& path, std::optional<UpAxis> up, TriangleMesh& mesh, std::string& error) {
    PolygonMesh polygons;
    UpAxis formatUp{};
    if (!readMeshFile(path, polygons, formatUp, error)) return false;
    scaleIntoSafeRange(polygons.vertices);
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

// The same box as other programs write it: colours after the positions,
// texture and normal indices, indices counted back from the last vertex,
// faces that refer to a vertex listed later, a line carried on by a
// backslash, CR LF, comments, and statements that are not kept.
const char* const cubeObjAsWritten =
    "mtllib box.mtl\r\n"
    "v 0 0 0 1 0 0\r\nv 2 0 0 1 0 0\r\nv 2 6 0 1 0 0\r\nv 0 6 0\r\n"
    "vt 0 0\nvt 1 0\nvn 0 0 -1\n"
    "g front\nusemtl red\ns 1\n"
    "f 1/1/1 4/2/1 3//1 2/1 # the front\n"
    "f 5 6 7 8\n"
    "v 0 0 1\nv 2 0 1\nv 2 6 1\nv 0 6 1\n"
    "f -8 -7 -3 \\\n -4\n"
    "f -5 -1 -2 -6\nf -8 -4 -1 -5\nl 1 2\np 3\nf -7 -6 -2 -3\n";

// A square pyramid 4 tall along y: a quad base and four triangles.
const float pyramidVertices[5][3] = {{-1, 0, -1}, {1, 0, -1}, {1, 0, 1}, {-1, 0, 1}, {0, 4, 0}};
const int pyramidFaces[5][5] = {{4, 0, 1, 2, 3}, {3, 0, 4, 1}, {3, 1, 4, 2}, {3, 2, 4, 3}, {3, 3, 4, 0}};

std::string plyHeader(const char* format) {
    return std::string("ply\nformat ") + format +
           " 1.0\ncomment a pyramid\nelement vertex 5\nproperty float x\nproperty float y\nproperty float z\n"
           "element face 5\nproperty list uchar int vertex_indices\nend_header\n";
}

std::string asciiPly() {
    std::string text = plyHeader("ascii");
    for (const auto& v : pyramidVertices)
        text += std::to_string(v[0]) + " " + std::to_string(v[1]) + " " + std::to_string(v[2]) + "\n";
    for (const auto& f : pyramidFaces) {
        for (int k = 0; k <= f[0]; ++k) text += std::to_string(f[k]) + (k < f[0] ? " " : "\n");
    }
    return text;
}

template <class T>
void append(std::string& bytes, T value, bool bigEndian = false) {
    char raw[sizeof value];
    std::memcpy(raw, &value, sizeof value);
    if (bigEndian != (std::endian::native == std::endian::big)) std::reverse(raw, raw + sizeof value);
    bytes.append(raw, sizeof value);
}

std::string binaryPly(bool bigEndian) {
    std::string bytes = plyHeader(bigEndian ? "binary_big_endian" : "binary_little_endian");
    for (const auto& v : pyramidVertices)
        for (float c : v) append(bytes, c, bigEndian);
    for (const auto& f : pyramidFaces) {
        bytes += static_cast<char>(f[0]);
        for (int k = 1; k <= f[0]; ++k) append(bytes, static_cast<std::int32_t>(f[k]), bigEndian);
    }
    return bytes;
}

// The pyramid with what scanners and modelling programs add: double
// coordinates after a normal, colours, an element of edges before the faces,
// a face flag after the indices, and texture coordinates as another list.
std::string binaryPlyWithExtras() {
    std::string bytes =
        "ply\r\nformat binary_little_endian 1.0\r\nobj_info scanned\r\nelement vertex 5\r\nproperty float nx\r\n"
        "property double x\r\nproperty double y\r\nproperty double z\r\nproperty uchar red\r\n"
        "element edge 1\r\nproperty int vertex1\r\nproperty int vertex2\r\n"
        "element face 5\r\nproperty list uchar float texcoord\r\nproperty list ushort uint vertex_index\r\n"
        "property short flags\r\nend_header\r\n";
    for (const auto& v : pyramidVertices) {
        append(bytes, 0.5f);
        for (float c : v) append(bytes, static_cast<double>(c));
        bytes += '\xff';
    }
    append(bytes, std::int32_t{0});
    append(bytes, std::int32_t{1});
    for (const auto& f : pyramidFaces) {
        bytes += '\x02';
        append(bytes, 0.25f);
        append(bytes, 0.75f);
        append(bytes, static_cast<std::uint16_t>(f[0]));
        for (int k = 1; k <= f[0]; ++k) append(bytes, static_cast<std::uint32_t>(f[k]));
        append(bytes, std::int16_t{-1});
    }
    return bytes;
}

// A tetrahedron 5 tall along z (STL's usual up), faces anticlockwise from
// outside, each listing its own three corners as STL does.
const float tetra[4][3] = {{0, 0, 0}, {2, 0, 0}, {0, 2, 0}, {0, 0, 5}};
const int tetraFaces[4][3] = {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}};

std::string asciiStl(const char* facet, const char* vertex) {
    std::string text = "solid tetra made by hand\n";
    for (const auto& f : tetraFaces) {
        text += std::string("  ") + facet + " normal 0 0 0\n    outer loop\n";
        for (int k : f)
            text += std::string("      ") + vertex + " " + std::to_string(tetra[k][0]) + " " +
                    std::to_string(tetra[k][1]) + " " + std::to_string(tetra[k][2]) + "\n";
        text += "    endloop\n  endfacet\n";
    }
    return text + "endsolid tetra\n";
}

std::string binaryStl(const char* header) {
    std::string bytes(80, ' ');
    bytes.replace(0, std::strlen(header), header);
    append(bytes, std::uint32_t{4});
    for (const auto& f : tetraFaces) {
        for (int i = 0; i < 3; ++i) append(bytes, 0.0f);
        for (int k : f)
            for (float c : tetra[k]) append(bytes, c);
        append(bytes, std::uint16_t{0});
    }
    return bytes;
}

std::string base64(const std::string& bytes) {
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        std::uint32_t group = 0;
        for (std::size_t k = 0; k < 3; ++k)
            group = group << 8 | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0U);
        for (std::size_t k = 0; k < 4; ++k) out += k <= n ? digits[(group >> (18 - 6 * k)) & 63] : '=';
    }
    return out;
}

// The tetrahedron as glTF 2.0 (y up), its buffer inside the file, held by
// two nodes: one moves it 10 along x, the other doubles it; `nested`, the
// second is the first's child, and so moved as well.
std::string gltf(bool nested = false) {
    std::string buffer;
    for (const auto& v : tetra) {  // glTF is y-up: STL's z becomes y
        append(buffer, v[0]);
        append(buffer, v[2]);
        append(buffer, -v[1]);
    }
    for (const auto& f : tetraFaces)
        for (int k : f) append(buffer, static_cast<std::uint16_t>(k));
    const std::string nodes = nested ? R"("scenes": [{"nodes": [0]}],
  "nodes": [{"mesh": 0, "translation": [10, 0, 0], "children": [1]}, {"mesh": 0, "scale": [2, 2, 2]}],)"
                                     : R"("scenes": [{"nodes": [0, 1]}],
  "nodes": [{"mesh": 0, "translation": [10, 0, 0]}, {"mesh": 0, "scale": [2, 2, 2]}],)";
    return R"({"asset": {"version": "2.0"},
  "scene": 0, )" +
           nodes + R"(
  "meshes": [{"primitives": [{"attributes": {"POSITION": 0}, "indices": 1}]}],
  "buffers": [{"byteLength": 72, "uri": "data:application/octet-stream;base64,)" +
           base64(buffer) + R"("}],
  "bufferViews": [{"buffer": 0, "byteOffset": 0, "byteLength": 48}, {"buffer": 0, "byteOffset": 48, "byteLength": 24}],
  "accessors": [
    {"bufferView": 0, "componentType": 5126, "count": 4, "type": "VEC3", "min": [0, 0, -2], "max": [2, 5, 0]},
    {"bufferView": 1, "componentType": 5123, "count": 12, "type": "SCALAR"}]}
)";
}

// The tetrahedron as Collada, which says z is up: the importer turns it to
// y up, as it does every Collada scene.
const char* const collada = R"(<?xml version="1.0" encoding="utf-8"?>
<COLLADA xmlns="http://www.collada.org/2005/11/COLLADASchema" version="1.4.1">
  <asset><unit name="meter" meter="1"/><up_axis>Z_UP</up_axis></asset>
  <library_geometries>
    <geometry id="tetra" name="tetra"><mesh>
      <source id="positions">
        <float_array id="positions-array" count="12">0 0 0 2 0 0 0 2 0 0 0 5</float_array>
        <technique_common><accessor source="#positions-array" count="4" stride="3">
          <param name="X" type="float"/><param name="Y" type="float"/><param name="Z" type="float"/>
        </accessor></technique_common>
      </source>
      <vertices id="vertices"><input semantic="POSITION" source="#positions"/></vertices>
      <triangles count="4"><input semantic="VERTEX" source="#vertices" offset="0"/><p>0 2 1 0 1 3 0 3 2 1 2 3</p></triangles>
    </mesh></geometry>
  </library_geometries>
  <library_visual_scenes>
    <visual_scene id="scene"><node id="tetra-node" name="tetra"><instance_geometry url="#tetra"/></node></visual_scene>
  </library_visual_scenes>
  <scene><instance_visual_scene url="#scene"/></scene>
</COLLADA>
)";

TEST(FitFormats, FormatsComeInSharedTriangulatedAndUpright) {
    const struct {
        const char* file;
        std::string contents;
        std::size_t vertices, triangles;
        double heightOverWidth;  // of the fitted box, z against the wider of x and y: shows which axis is up
    } cases[] = {
        {"box.obj", cubeObj, 8, 12, 3.0},
        {"box-as-written.OBJ", cubeObjAsWritten, 8, 12, 3.0},
        {"pyramid.ply", asciiPly(), 5, 6, 2.0},
        {"pyramid-little-endian.ply", binaryPly(false), 5, 6, 2.0},
        {"pyramid-big-endian.ply", binaryPly(true), 5, 6, 2.0},
        {"pyramid-with-extras.ply", binaryPlyWithExtras(), 5, 6, 2.0},
        {"pyramid.scan", asciiPly(), 5, 6, 2.0},  // known by its first line
        {"tetra.stl", asciiStl("facet", "vertex"), 4, 4, 2.5},
        {"tetra-upper-case.STL", asciiStl("FACET", "VERTEX"), 4, 4, 2.5},
        {"tetra-binary.stl", binaryStl("binary tetra"), 4, 4, 2.5},
        {"tetra-binary-solid.stl", binaryStl("solid tetra"), 4, 4, 2.5},  // binary, whatever its header says
        {"tetra.gltf", gltf(), 8, 8, 10.0 / 12},                          // both nodes' copies
        {"tetra.dae", collada, 4, 4, 2.5},
    };
    const TempFolder folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = folder.write(c.file, c.contents);
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

TEST(FitFormats, NodesMoveAndRepeatTheirMeshes) {
    // The glTF scene as read, before any framing: the tetrahedron moved 10
    // along x, and again doubled, moved too when its node is the first's child.
    const TempFolder folder;
    for (const bool nested : {false, true}) {
        SCOPED_TRACE(nested ? "nested" : "side by side");
        const std::string path = folder.write(nested ? "nested.gltf" : "tetra.gltf", gltf(nested));
        PolygonMesh mesh;
        UpAxis formatUp{};
        std::string error;
        ASSERT_TRUE(readMeshFile(path, mesh, formatUp, error)) << error;
        std::vector<std::array<double, 3>> seen, expected;
        for (const Vertex& v : mesh.vertices) seen.push_back({v.x, v.y, v.z});
        for (const auto& v : tetra) {
            expected.push_back({v[0] + 10.0, v[2], -v[1]});
            expected.push_back({2.0 * v[0] + (nested ? 10.0 : 0.0), 2.0 * v[2], -2.0 * v[1]});
        }
        std::sort(seen.begin(), seen.end());
        std::sort(expected.begin(), expected.end());
        // Nested, the two copies share the corner at the child's origin.
        expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
        EXPECT_EQ(seen, expected);
        EXPECT_EQ(mesh.faceCount(), 8u);
    }
}

TEST(FitFormats, UpAxisCanBeGiven) {
    // The OBJ box with z named as up instead: 1 deep becomes 1 tall.
    const TempFolder folder;
    const std::string path = folder.write("box-z.obj", cubeObj);
    TriangleMesh fitted;
    std::string error;
    ASSERT_TRUE(readAndStandUp(path, UpAxis::z, fitted, error)) << error;
    const Box b = boxOf(fitted);
    EXPECT_NEAR((b.high.z - b.low.z) / std::max(b.high.x - b.low.x, b.high.y - b.low.y), 1.0 / 6.0, 1e-6);
    EXPECT_GT(sixVolume(fitted), 0);
}

TEST(FitFormats, PositionsAreJoinedExactlyAndInOrder) {
    // 0 and -0 are one position; positions one step of a double apart are
    // two; the first vertex at a position keeps its place.
    PolygonMesh mesh;
    const double next = std::nextafter(1.0, 2.0);
    mesh.vertices = {{1, 0, 0}, {0, 0, -0.0}, {1, 0, 0}, {next, 0, 0}, {0, -0.0, 0}};
    mesh.corners = {2, 4, 3, 0, 1};
    mesh.faceStart = {0, 3, 5};
    joinIdenticalPositions(mesh);
    ASSERT_EQ(mesh.vertices.size(), 3u);
    EXPECT_EQ(mesh.vertices[1].x, 0.0);
    EXPECT_EQ(mesh.vertices[2].x, next);
    EXPECT_EQ(mesh.corners, (std::vector<std::int32_t>{0, 1, 2, 0, 1}));
}

TEST(FitFormats, FacelessFilesGetOneLineWithThePath) {
    const struct {
        const char* file;
        std::string contents;
        std::string error;  // after the path
    } cases[] = {
        {"points.ply",
         "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\nproperty float z\nend_header\n"
         "0 0 0\n1 0 0\n0 1 0\n",
         ":7: header: expected an element 'face' before 'end_header', found 'end_header'"},
        {"empty.obj", "", ":1: file: expected at least one 'f' statement, found end of file"},
        {"lines.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nl 1 2\nl 2 3\n",
         ":5: file: expected at least one 'f' statement, found end of file"},
        {"no-facets.stl", "solid nothing\nendsolid nothing\n",
         ":2: solid: expected at least one facet, found end of file"},
        {"forward.obj", "f 1 2 4\nv 0 0 0\nv 1 0 0\nv 0 1 0\n", ":1: f: expected a vertex index in 1..3, found '4'"},
        {"points.gltf",
         R"({"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": []}], "nodes": [], "meshes": []})", ""},
    };
    const TempFolder folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = folder.write(c.file, c.contents);
        TriangleMesh fitted;
        std::string error;
        EXPECT_FALSE(readAndStandUp(path, std::nullopt, fitted, error));
        if (!c.error.empty()) {
            EXPECT_EQ(error, path + c.error);
        }
        EXPECT_EQ(error.rfind(path + ":", 0), 0u) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
}

}  // namespace
