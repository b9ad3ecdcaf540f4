// Framing for the viewer, checked against the hand-worked projection the
// window tests share: over a whole turn of the turntable (and the angles the
// divide-by-360 wrap brings), every fitted mesh keeps at least 3 pixels from
// the window's edges, comes within 5 of one (it is as large as it can be),
// and at its widest spans at least 45 % of the window. And the file written
// reads back, through the viewer's own reader, as the very doubles computed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "formats/mesh_file.h"
#include "formats/off_writer.h"
#include "geometry/framing.h"
#include "geometry/triangle_mesh.h"
#include "geometry/up_axis.h"
#include "mesh/model.h"
#include "screen_projection.h"
#include "temp_file.h"

namespace {

constexpr int width = 800, height = 600;
constexpr double margin = 3;       // pixels every mesh keeps from every edge
constexpr double closeEnough = 5;  // pixels from an edge that the mesh's furthest point comes at its worst angle

// The angles the turntable shows: every step of the first turn, finer than
// the viewer's so that every point's worst angle is met closely, and those
// after the wraps (370 / 360, 361.02.../ 360 and their turns).
std::vector<double> turntableAngles() {
    std::vector<double> angles;
    for (int a = 0; a <= 720; ++a) angles.push_back(a / 2.0);
    for (double start : {370.0 / 360.0, 361.0277777777778 / 360.0})
        for (int step = 0; step < 36; ++step) angles.push_back(start + 10.0 * step);
    return angles;
}

struct Extent {
    double left = 1e300, right = -1e300, bottom = 1e300, top = -1e300;
    double widthShare() const { return (right - left) / width; }
    double heightShare() const { return (top - bottom) / height; }
};

Extent screenExtent(const std::vector<Vertex>& vertices, double angle) {
    Extent e;
    for (const Vertex& v : vertices) {
        const ScreenPoint s = projectToScreen(v, angle);
        e = {std::min(e.left, s.x), std::max(e.right, s.x), std::min(e.bottom, s.y), std::max(e.top, s.y)};
    }
    return e;
}

// Points on a regular grid, `columns` x `rows`, as quads.
PolygonMesh grid(int columns, int rows, double sx, double sy, double sz, Vertex origin, bool wavy) {
    PolygonMesh mesh;
    for (int j = 0; j <= rows; ++j)
        for (int i = 0; i <= columns; ++i)
            mesh.vertices.push_back({origin.x + sx * i, origin.y + sy * j,
                                     origin.z + (wavy ? sz * std::sin(i * 0.7) * std::cos(j * 0.4) : 0)});
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < columns; ++i) {
            const int a = j * (columns + 1) + i;
            for (int c : {a, a + 1, a + columns + 2, a + columns + 1}) mesh.corners.push_back(c);
            mesh.faceStart.push_back(static_cast<std::int64_t>(mesh.corners.size()));
        }
    return mesh;
}

// A closed box: eight corners, six quads facing out.
PolygonMesh box(Vertex low, Vertex high) {
    PolygonMesh mesh;
    for (int k = 0; k < 8; ++k)
        mesh.vertices.push_back({k & 1 ? high.x : low.x, k & 2 ? high.y : low.y, k & 4 ? high.z : low.z});
    for (const auto& quad :
         {std::array{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}}) {
        mesh.corners.insert(mesh.corners.end(), quad.begin(), quad.end());
        mesh.faceStart.push_back(static_cast<std::int64_t>(mesh.corners.size()));
    }
    return mesh;
}

struct Case {
    std::string name;
    PolygonMesh mesh;
};

// The steps of tarvexgl-fit that decide where the points go, on a mesh
// already z-up.
TriangleMesh framed(PolygonMesh mesh) {
    TriangleMesh fitted;
    std::string error;
    EXPECT_TRUE(triangulateFaces(std::move(mesh), fitted, error)) << error;
    keepUsedVertices(fitted);
    EXPECT_TRUE(frameForViewer(fitted.vertices, error)) << error;
    return fitted;
}

PolygonMesh readData(const std::string& name) {
    PolygonMesh mesh;
    UpAxis up{};
    std::string error;
    EXPECT_TRUE(readMeshFile(std::string(TEST_DATA_DIR) + "/" + name, mesh, up, error)) << error;
    return mesh;
}

std::vector<Case> meshesOfEverySize() {
    std::vector<Case> cases;
    for (const char* name :
         {"cgal-triangle.off", "cgal-negative.off", "cgal-degtri_sliding.off", "cgal-cube-ouvert.off", "cgal-mpi.off",
          "geomview-cone.off", "cgal-horizons.off", "pmp-beetle.off"})
        cases.push_back({name, readData(name)});
    cases.push_back({"tall thin column far from the origin", box({5000, 5000, 1e4}, {5000.02, 5000.01, 1e4 + 3})});
    cases.push_back({"flat terrain, 10 km wide", grid(40, 30, 250, 250, 0, {-3e5, 2e5, 0}, false)});
    cases.push_back({"hilly terrain", grid(40, 40, 0.5, 0.5, 0.3, {0, 0, 0}, true)});
    cases.push_back({"micrometre cube", box({1e-6, 2e-6, 3e-6}, {2e-6, 3e-6, 4e-6})});
    cases.push_back({"long thin bar", box({-50, -0.5, -0.5}, {50, 0.5, 0.5})});
    return cases;
}

TEST(FitFraming, EveryMeshStaysInsideAndFillsAtItsWidest) {
    for (const Case& c : meshesOfEverySize()) {
        SCOPED_TRACE(c.name);
        const TriangleMesh fitted = framed(c.mesh);
        double widest = 0, closest = width;
        for (double angle : turntableAngles()) {
            const Extent e = screenExtent(fitted.vertices, angle);
            EXPECT_GE(e.left, margin) << angle << " degrees";
            EXPECT_LE(e.right, width - margin) << angle << " degrees";
            EXPECT_GE(e.bottom, margin) << angle << " degrees";
            EXPECT_LE(e.top, height - margin) << angle << " degrees";
            widest = std::max({widest, e.widthShare(), e.heightShare()});
            closest = std::min({closest, e.left, width - e.right, e.bottom, height - e.top});
        }
        EXPECT_GE(widest, 0.45);
        EXPECT_LE(closest, closeEnough) << "the mesh could be larger";
    }
}

// Twice the area of the triangle's picture on the screen, in pixels.
double screenArea(const std::vector<Vertex>& v, const Triangle& t, double angle) {
    const ScreenPoint a = projectToScreen(v[t[0]], angle), b = projectToScreen(v[t[1]], angle),
                      c = projectToScreen(v[t[2]], angle);
    return std::fabs((b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x)) / 2;
}

TEST(FitFraming, FlatMeshesAreSeenFromAboveNotEdgeOn) {
    const std::vector<Case> flat = [] {
        std::vector<Case> cases;
        cases.push_back({"flat terrain", grid(10, 10, 1, 1, 0, {0, 0, 0}, false)});
        PolygonMesh one;
        one.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
        one.corners = {0, 1, 2};
        one.faceStart = {0, 3};
        cases.push_back({"one triangle", one});
        return cases;
    }();
    for (const Case& c : flat) {
        SCOPED_TRACE(c.name);
        const TriangleMesh fitted = framed(c.mesh);
        // Below the eye line (eye-space height 0 is z = -10 in the mesh).
        for (const Vertex& v : fitted.vertices) EXPECT_LT(v.z, -10.0 - 1.0);
        for (double angle : turntableAngles()) {
            double area = 0;
            for (const Triangle& t : fitted.triangles) area += screenArea(fitted.vertices, t, angle);
            EXPECT_GT(area, 0.005 * width * height) << angle << " degrees";  // edge on, it would be 0
        }
    }
}

TEST(FitFraming, UpAxisIsTurnedOntoZWithoutMirroring) {
    // A right-handed triple stays right-handed: x cross y = z after the turn.
    for (UpAxis up : {UpAxis::x, UpAxis::y, UpAxis::z, UpAxis::minusX, UpAxis::minusY, UpAxis::minusZ}) {
        const Vertex x = turnUp({1, 0, 0}, up), y = turnUp({0, 1, 0}, up), z = turnUp({0, 0, 1}, up);
        EXPECT_EQ(x.y * y.z - x.z * y.y, z.x);
        EXPECT_EQ(x.z * y.x - x.x * y.z, z.y);
        EXPECT_EQ(x.x * y.y - x.y * y.x, z.z);
    }
    const struct {
        const char* text;
        Vertex upward;  // the input direction that ends on +z
    } axes[] = {{"x", {1, 0, 0}},   {"y", {0, 1, 0}},   {"z", {0, 0, 1}},
                {"-x", {-1, 0, 0}}, {"-y", {0, -1, 0}}, {"-z", {0, 0, -1}}};
    for (const auto& a : axes) {
        SCOPED_TRACE(a.text);
        const std::optional<UpAxis> up = parseUpAxis(a.text);
        ASSERT_TRUE(up);
        const Vertex turned = turnUp(a.upward, *up);
        EXPECT_EQ(turned.x, 0);
        EXPECT_EQ(turned.y, 0);
        EXPECT_EQ(turned.z, 1);
    }
    EXPECT_FALSE(parseUpAxis("+y"));
    EXPECT_FALSE(parseUpAxis("Y"));
    // y up: the front (+z in that convention) faces the camera at angle 0,
    // which sees the mesh's -y side.
    EXPECT_EQ(turnUp({0, 0, 1}, UpAxis::y).y, -1);
}

TEST(FitFraming, OnlyVerticesThatFacesUseAreKeptAndCounted) {
    // Vertex 1 is used by no face and lies far away: it neither widens the
    // frame nor reaches the file.
    PolygonMesh mesh;
    mesh.vertices = {{0, 0, 0}, {1e6, 1e6, 1e6}, {1, 0, 0}, {0, 1, 0}};
    mesh.corners = {0, 2, 3};
    mesh.faceStart = {0, 3};
    const TriangleMesh fitted = framed(mesh);
    ASSERT_EQ(fitted.vertices.size(), 3u);
    EXPECT_EQ(fitted.triangles[0], (Triangle{0, 1, 2}));
    double widest = 0;
    for (double angle : turntableAngles()) widest = std::max(widest, screenExtent(fitted.vertices, angle).widthShare());
    EXPECT_GE(widest, 0.45);
}

TEST(FitFraming, WrittenFileReadsBackAsTheSameDoubles) {
    const TriangleMesh fitted = framed(readData("cgal-horizons.off"));
    const std::string text = offText(fitted);
    EXPECT_EQ(text.substr(0, 4), "OFF\n");
    const std::string written = writeTempFile("fitted.off", text);
    Model model;
    std::string error;
    ASSERT_TRUE(loadModel(written.c_str(), model, error)) << error;
    ASSERT_EQ(static_cast<std::size_t>(model.vertexCount), fitted.vertices.size());
    ASSERT_EQ(static_cast<std::size_t>(model.faceCount), fitted.triangles.size());
    for (std::size_t i = 0; i < fitted.vertices.size(); ++i) {
        EXPECT_EQ(model.vertices[i].x, fitted.vertices[i].x);
        EXPECT_EQ(model.vertices[i].y, fitted.vertices[i].y);
        EXPECT_EQ(model.vertices[i].z, fitted.vertices[i].z);
    }
    for (std::size_t j = 0; j < fitted.triangles.size(); ++j)
        for (int k = 0; k < 3; ++k) EXPECT_EQ(model.faces[j].vertexIndex[k], fitted.triangles[j][k]);
    // One "3 a b c" line per triangle, nothing else after the vertices.
    EXPECT_NE(text.find("\n3 0 "), std::string::npos);
    EXPECT_EQ(text.back(), '\n');
}

}  // namespace
