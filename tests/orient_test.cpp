// How the fitted mesh looks: faces turned out of the solid they bound, faces
// listed twice merged, and vertices split along sharp edges so that the
// viewer's corner normals never mix across them. Small meshes written here,
// each with the fault it carries.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "geometry/crease.h"
#include "geometry/orient.h"
#include "geometry/triangle_mesh.h"

namespace {

PolygonMesh polygons(std::vector<Vertex> vertices, const std::vector<std::vector<std::int32_t>>& faces) {
    PolygonMesh mesh;
    mesh.vertices = std::move(vertices);
    for (const auto& face : faces) {
        mesh.corners.insert(mesh.corners.end(), face.begin(), face.end());
        mesh.faceStart.push_back(static_cast<std::int64_t>(mesh.corners.size()));
    }
    return mesh;
}

// The same faces, each wound the other way (from its last corner back).
std::vector<std::vector<std::int32_t>> reversed(std::vector<std::vector<std::int32_t>> faces) {
    for (auto& face : faces) std::reverse(face.begin(), face.end());
    return faces;
}

const std::vector<Vertex> cubeCorners = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0},
                                         {0, 0, 1}, {1, 0, 1}, {0, 1, 1}, {1, 1, 1}};
// Its sides as quads facing out, and as triangles facing out.
const std::vector<std::vector<std::int32_t>> cubeQuads = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                                          {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
const std::vector<std::vector<std::int32_t>> cubeTriangles = {{0, 2, 3}, {0, 3, 1}, {4, 5, 7}, {4, 7, 6},
                                                              {0, 1, 5}, {0, 5, 4}, {2, 6, 7}, {2, 7, 3},
                                                              {0, 4, 6}, {0, 6, 2}, {1, 3, 7}, {1, 7, 5}};

constexpr double phi = 1.618033988749895;
const std::vector<Vertex> icosahedronCorners = {{-1, phi, 0}, {1, phi, 0}, {-1, -phi, 0}, {1, -phi, 0},
                                                {0, -1, phi}, {0, 1, phi}, {0, -1, -phi}, {0, 1, -phi},
                                                {phi, 0, -1}, {phi, 0, 1}, {-phi, 0, -1}, {-phi, 0, 1}};
const std::vector<std::vector<std::int32_t>> icosahedronFaces = {
    {0, 11, 5},  {0, 5, 1},  {0, 1, 7},  {0, 7, 10}, {0, 10, 11}, {1, 5, 9}, {5, 11, 4},
    {11, 10, 2}, {10, 7, 6}, {7, 1, 8},  {3, 9, 4},  {3, 4, 2},   {3, 2, 6}, {3, 6, 8},
    {3, 8, 9},   {4, 9, 5},  {2, 4, 11}, {6, 2, 10}, {8, 6, 7},   {9, 8, 1}};

const std::vector<Vertex> tetrahedronCorners = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
const std::vector<std::vector<std::int32_t>> inwardTetrahedron = {{0, 1, 2}, {0, 3, 1}, {0, 2, 3}, {1, 3, 2}};

// Six times the signed volume the faces first .. last - 1 enclose.
double sixVolume(const PolygonMesh& mesh, std::size_t first = 0, std::size_t last = SIZE_MAX) {
    double sum = 0;
    for (std::size_t f = first; f < std::min(last, mesh.faceCount()); ++f)
        for (auto k = mesh.faceStart[f] + 1; k + 1 < mesh.faceStart[f + 1]; ++k) {
            const Vertex a =
                mesh.vertices[static_cast<std::size_t>(mesh.corners[static_cast<std::size_t>(mesh.faceStart[f])])];
            const Vertex b = mesh.vertices[static_cast<std::size_t>(mesh.corners[static_cast<std::size_t>(k)])];
            const Vertex c = mesh.vertices[static_cast<std::size_t>(mesh.corners[static_cast<std::size_t>(k + 1)])];
            sum += a.x * (b.y * c.z - b.z * c.y) - a.y * (b.x * c.z - b.z * c.x) + a.z * (b.x * c.y - b.y * c.x);
        }
    return sum;
}

std::vector<std::vector<std::int32_t>> facesOf(const PolygonMesh& mesh) {
    std::vector<std::vector<std::int32_t>> faces;
    for (std::size_t f = 0; f < mesh.faceCount(); ++f)
        faces.emplace_back(mesh.corners.begin() + mesh.faceStart[f], mesh.corners.begin() + mesh.faceStart[f + 1]);
    return faces;
}

TEST(FitOrient, ClosedMeshesComeOutFacingOut) {
    // Two cubes apart, the second one inside out: one part of two turns.
    std::vector<Vertex> twoCubes = cubeCorners;
    for (const Vertex& v : cubeCorners) twoCubes.push_back({v.x + 3, v.y, v.z});
    std::vector<std::vector<std::int32_t>> twoCubeFaces = cubeQuads;
    for (auto face : reversed(cubeQuads)) {
        for (auto& v : face) v += 8;
        twoCubeFaces.push_back(face);
    }
    // The inside-out cube again, each side with corners of its own that only
    // their positions join.
    std::vector<Vertex> ownCorners;
    std::vector<std::vector<std::int32_t>> ownCornerFaces;
    for (const auto& face : reversed(cubeQuads)) {
        ownCornerFaces.emplace_back();
        for (std::int32_t v : face) {
            ownCornerFaces.back().push_back(static_cast<std::int32_t>(ownCorners.size()));
            ownCorners.push_back(cubeCorners[static_cast<std::size_t>(v)]);
        }
    }
    const struct {
        const char* name;
        PolygonMesh mesh;
        std::size_t lastPart;  // faces of the inward part, listed last
        std::size_t closedParts, partsTurned;
    } cases[] = {
        {"inside-out icosahedron", polygons(icosahedronCorners, reversed(icosahedronFaces)), 20, 1, 1},
        {"tetrahedron turned inward", polygons(tetrahedronCorners, inwardTetrahedron), 4, 1, 1},
        {"two cubes, the second inward", polygons(twoCubes, twoCubeFaces), 6, 2, 1},
        {"inward cube of unshared corners", polygons(ownCorners, ownCornerFaces), 6, 1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PolygonMesh mesh = c.mesh;
        const std::size_t split = mesh.faceCount() - c.lastPart;
        ASSERT_LT(sixVolume(mesh, split), 0) << "the last part must start inward";
        const OrientationChanges changes = orientOutward(mesh);
        EXPECT_EQ(changes.closedParts, c.closedParts);
        EXPECT_EQ(changes.partsTurned, c.partsTurned);
        EXPECT_EQ(changes.facesMadeToAgree, 0u);
        EXPECT_EQ(mesh.vertices.size(), c.mesh.vertices.size());
        EXPECT_EQ(mesh.faceCount(), c.mesh.faceCount());
        EXPECT_GT(sixVolume(mesh, split), 0);
        EXPECT_GE(sixVolume(mesh, 0, split), split > 0 ? 1e-9 : 0) << "the part that faced out";
    }
}

TEST(FitOrient, MeshesFacingOutComeOutExactlyAsTheyWent) {
    for (const PolygonMesh& original :
         {polygons(cubeCorners, cubeQuads), polygons(cubeCorners, cubeTriangles),
          polygons(icosahedronCorners, icosahedronFaces),
          // Open: the cube without its top, and a lone triangle.
          polygons(cubeCorners, {cubeQuads[0], cubeQuads[2], cubeQuads[3], cubeQuads[4], cubeQuads[5]}),
          polygons(cubeCorners, {{0, 1, 2}})}) {
        PolygonMesh mesh = original;
        const OrientationChanges changes = orientOutward(mesh);
        EXPECT_EQ(describeChanges(changes), "");
        EXPECT_EQ(mesh.faceStart, original.faceStart);
        EXPECT_EQ(mesh.corners, original.corners);
    }
}

TEST(FitOrient, FacesThatDisagreeWithTheirNeighboursTurn) {
    // An outward cube with two sides wound inward: they turn, keeping their
    // first corner. An open strip of three squares, the middle one against
    // the other two: the strip keeps the winding most of its faces have.
    std::vector<std::vector<std::int32_t>> cube = cubeQuads;
    std::reverse(cube[1].begin(), cube[1].end());
    std::reverse(cube[4].begin(), cube[4].end());
    PolygonMesh mesh = polygons(cubeCorners, cube);
    OrientationChanges changes = orientOutward(mesh);
    EXPECT_EQ(changes.facesMadeToAgree, 2u);
    EXPECT_EQ(changes.partsTurned, 0u);
    EXPECT_EQ(facesOf(mesh)[1], (std::vector<std::int32_t>{6, 4, 5, 7}));
    EXPECT_EQ(facesOf(mesh)[4], (std::vector<std::int32_t>{2, 0, 4, 6}));
    EXPECT_GT(sixVolume(mesh), 0);
    // Two sides away from the first face's corners: the turned faces' share
    // of the volume must count with its sign, or the cube turns inside out.
    cube = cubeQuads;
    std::reverse(cube[1].begin(), cube[1].end());
    std::reverse(cube[3].begin(), cube[3].end());
    mesh = polygons(cubeCorners, cube);
    changes = orientOutward(mesh);
    EXPECT_EQ(changes.facesMadeToAgree, 2u);
    EXPECT_EQ(changes.partsTurned, 0u);
    EXPECT_EQ(facesOf(mesh)[0], cubeQuads[0]);
    EXPECT_GT(sixVolume(mesh), 0);

    const std::vector<Vertex> strip = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0},
                                       {0, 1, 0}, {1, 1, 0}, {2, 1, 0}, {3, 1, 0}};
    mesh = polygons(strip, {{0, 1, 5, 4}, {5, 6, 2, 1}, {2, 3, 7, 6}});
    changes = orientOutward(mesh);
    EXPECT_EQ(describeChanges(changes), "made 1 faces agree with their neighbours");
    EXPECT_EQ(facesOf(mesh)[1], (std::vector<std::int32_t>{5, 1, 2, 6}));
}

TEST(FitOrient, FacesListedTwiceBecomeOneFacingOut) {
    const std::vector<Vertex> square = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    const struct {
        const char* name;
        PolygonMesh mesh;
        std::vector<std::vector<std::int32_t>> expected;  // what is left, in face order
        std::string said;
    } cases[] = {
        {"double-sided square, two triangles a side",
         polygons(square, {{0, 1, 2}, {0, 2, 3}, {2, 1, 0}, {3, 2, 0}}),
         {{0, 1, 2}, {0, 2, 3}, {}, {}},
         "merged 2 back-to-back faces"},
        {"double-sided quad, its back from another corner",
         polygons(square, {{0, 1, 2, 3}, {3, 2, 1, 0}}),
         {{0, 1, 2, 3}, {}},
         "merged 1 back-to-back faces"},
        {"a triangle three times, the same way",
         polygons(square, {{0, 1, 2}, {1, 2, 0}, {2, 0, 1}}),
         {{0, 1, 2}, {}, {}},
         "merged 2 faces listed twice"},
        // Every side listed inward first, then outward from another corner:
        // the outward copies are what is left, corners as listed.
        {"double-sided cube, inward side first",
         polygons(cubeCorners,
                  [] {
                      std::vector<std::vector<std::int32_t>> faces = reversed(cubeQuads);
                      for (auto face : cubeQuads) {
                          std::rotate(face.begin(), face.begin() + 1, face.end());
                          faces.push_back(face);
                      }
                      return faces;
                  }()),
         [] {
             std::vector<std::vector<std::int32_t>> faces;
             for (auto face : cubeQuads) {
                 std::rotate(face.begin(), face.begin() + 1, face.end());
                 faces.push_back(face);
             }
             faces.resize(12);
             return faces;
         }(),
         "turned 1 of 1 closed parts outward; merged 6 back-to-back faces"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PolygonMesh mesh = c.mesh;
        EXPECT_EQ(describeChanges(orientOutward(mesh)), c.said);
        EXPECT_EQ(facesOf(mesh), c.expected);
    }
}

// The groups of triangles that share a vertex.
std::vector<std::set<std::size_t>> trianglesAtEachVertex(const TriangleMesh& mesh) {
    std::vector<std::set<std::size_t>> at(mesh.vertices.size());
    for (std::size_t f = 0; f < mesh.triangles.size(); ++f)
        for (std::int32_t v : mesh.triangles[f]) at[static_cast<std::size_t>(v)].insert(f);
    return at;
}

Vertex normalOf(const TriangleMesh& mesh, std::size_t f) {
    const Vertex a = mesh.vertices[static_cast<std::size_t>(mesh.triangles[f][0])];
    const Vertex b = mesh.vertices[static_cast<std::size_t>(mesh.triangles[f][1])];
    const Vertex c = mesh.vertices[static_cast<std::size_t>(mesh.triangles[f][2])];
    const Vertex n = {(b.y - a.y) * (c.z - a.z) - (b.z - a.z) * (c.y - a.y),
                      (b.z - a.z) * (c.x - a.x) - (b.x - a.x) * (c.z - a.z),
                      (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x)};
    const double length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    return {n.x / length, n.y / length, n.z / length};
}

TriangleMesh triangles(const std::vector<Vertex>& vertices, const std::vector<std::vector<std::int32_t>>& faces) {
    TriangleMesh mesh;
    std::string error;
    EXPECT_TRUE(triangulateFaces(polygons(vertices, faces), mesh, error)) << error;
    return mesh;
}

// A sphere of `rings` bands and `segments` steps round: neighbouring faces
// meet at 360 / segments degrees at most.
TriangleMesh sphere(int rings, int segments) {
    const double pi = 3.14159265358979323846;
    std::vector<Vertex> vertices = {{0, 0, -1}};
    for (int r = 1; r < rings; ++r)
        for (int s = 0; s < segments; ++s) {
            const double polar = pi * r / rings, around = 2 * pi * s / segments;
            vertices.push_back(
                {std::sin(polar) * std::cos(around), std::sin(polar) * std::sin(around), -std::cos(polar)});
        }
    vertices.push_back({0, 0, 1});
    const auto at = [&](int r, int s) { return 1 + (r - 1) * segments + (s % segments); };
    const int top = static_cast<int>(vertices.size()) - 1;
    std::vector<std::vector<std::int32_t>> faces;
    for (int s = 0; s < segments; ++s) {
        faces.push_back({0, at(1, s + 1), at(1, s)});
        for (int r = 1; r + 1 < rings; ++r) faces.push_back({at(r, s), at(r, s + 1), at(r + 1, s + 1), at(r + 1, s)});
        faces.push_back({top, at(rings - 1, s), at(rings - 1, s + 1)});
    }
    return triangles(vertices, faces);
}

TEST(FitCrease, SharpEdgesSplitTheirVerticesAndSmoothOnesKeepThem) {
    // The cube: every corner becomes three, one per side, and every vertex
    // is then named only by triangles that face the same way.
    TriangleMesh cube = triangles(cubeCorners, cubeTriangles);
    EXPECT_EQ(splitSharpEdges(cube, defaultCreaseDegrees), 16u);
    ASSERT_EQ(cube.vertices.size(), 24u);
    for (const std::set<std::size_t>& faces : trianglesAtEachVertex(cube)) {
        const Vertex n = normalOf(cube, *faces.begin());
        for (std::size_t f : faces) {
            const Vertex m = normalOf(cube, f);
            EXPECT_NEAR(n.x * m.x + n.y * m.y + n.z * m.z, 1, 1e-12);
        }
    }
    // Triangles keep their order and winding, and their corners their places.
    const TriangleMesh before = triangles(cubeCorners, cubeTriangles);
    for (std::size_t f = 0; f < cube.triangles.size(); ++f)
        for (int k = 0; k < 3; ++k) {
            const Vertex a = cube.vertices[static_cast<std::size_t>(cube.triangles[f][k])];
            const Vertex b = before.vertices[static_cast<std::size_t>(before.triangles[f][k])];
            EXPECT_TRUE(a.x == b.x && a.y == b.y && a.z == b.z);
        }

    // 180 degrees keeps every shared vertex, as the file has it.
    TriangleMesh kept = triangles(cubeCorners, cubeTriangles);
    EXPECT_EQ(splitSharpEdges(kept, 180), 0u);
    EXPECT_EQ(kept.triangles, before.triangles);

    // A smooth sphere (faces 22.5 degrees apart), and the same with a
    // triangle without area stuck to it: not a vertex more.
    TriangleMesh smooth = sphere(8, 16);
    const TriangleMesh smoothBefore = smooth;
    EXPECT_EQ(splitSharpEdges(smooth, defaultCreaseDegrees), 0u);
    EXPECT_EQ(smooth.triangles, smoothBefore.triangles);
    smooth.triangles.push_back({1, 2, 2});
    EXPECT_EQ(splitSharpEdges(smooth, defaultCreaseDegrees), 0u);
}

TEST(FitCrease, TheCreaseAngleDecides) {
    // Two triangles hinged on the edge 0-1, their normals `angle` apart.
    const double pi = 3.14159265358979323846;
    for (const double angle : {10.0, 49.0, 51.0, 90.0, 170.0}) {
        SCOPED_TRACE(angle);
        const double a = angle * pi / 180;
        TriangleMesh hinge =
            triangles({{0, 0, 0}, {1, 0, 0}, {0.5, 1, 0}, {0.5, -std::cos(a), std::sin(a)}}, {{0, 1, 2}, {1, 0, 3}});
        EXPECT_EQ(splitSharpEdges(hinge, defaultCreaseDegrees), angle > 50 ? 2u : 0u);
        EXPECT_EQ(splitSharpEdges(hinge, 180), 0u);
    }
    // Faces around vertex 0 meeting at a 60-degree edge, each only 30
    // degrees from the flat face listed first: a vertex may be passed over
    // only when its faces lie within half the crease angle of one another's.
    const double c = std::cos(pi / 6), s = std::sin(pi / 6);
    TriangleMesh fan =
        triangles({{0, 0, 0}, {1, 0, 0}, {-1, 1, 0}, {-1, -1, 0}, {2, -1, 0}, {2, 1, 0}, {0.5, c, -s}, {0.5, -c, -s}},
                  {{0, 2, 3}, {1, 4, 5}, {0, 1, 6}, {1, 0, 7}});
    EXPECT_EQ(splitSharpEdges(fan, defaultCreaseDegrees), 4u);
}

// Whatever the faces (points, edges, repeated corners, faces on one edge by
// the dozen, positions shared by several vertices), both steps finish, and a
// second pass finds nothing left to do.
TEST(FitOrient, MessyMeshesSettleInOnePass) {
    std::mt19937 random(2024);
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE(round);
        std::vector<Vertex> vertices;
        for (int v = 0; v < 10; ++v) {
            const auto at = [&] { return static_cast<double>(random() % 3); };
            vertices.push_back({at(), at(), at()});
        }
        std::vector<std::vector<std::int32_t>> faces(1 + random() % 30);
        for (auto& face : faces) {
            face.resize(1 + random() % 6);
            for (std::int32_t& v : face) v = static_cast<std::int32_t>(random() % vertices.size());
        }
        PolygonMesh mesh = polygons(vertices, faces);
        orientOutward(mesh);
        const PolygonMesh once = mesh;
        EXPECT_EQ(describeChanges(orientOutward(mesh)), "");
        EXPECT_EQ(mesh.corners, once.corners);
        EXPECT_EQ(mesh.faceStart, once.faceStart);

        TriangleMesh split;
        std::string error;
        if (!triangulateFaces(std::move(mesh), split, error)) continue;  // no face of three corners
        splitSharpEdges(split, defaultCreaseDegrees);
        const TriangleMesh first = split;
        EXPECT_EQ(splitSharpEdges(split, defaultCreaseDegrees), 0u);
        EXPECT_EQ(split.triangles, first.triangles);
    }
}

}  // namespace
