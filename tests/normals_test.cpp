// Face and corner normals: the worked cases on literal triangles, and bit for
// bit agreement with the plain all-pairs scan that defines the corner sums, on
// every vector width and thread count.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "address_sanitizer.h"
#include "mesh/model.h"
#include "mesh/normals.h"

namespace {

struct Vec {
    double x, y, z;
};

Face triangle(Vertex p0, Vertex p1, Vertex p2, std::int32_t i0, std::int32_t i1, std::int32_t i2) {
    Face face{};
    face.cornerPosition[0] = p0;
    face.cornerPosition[1] = p1;
    face.cornerPosition[2] = p2;
    face.vertexIndex[0] = i0;
    face.vertexIndex[1] = i1;
    face.vertexIndex[2] = i2;
    computeFaceNormal(face);
    return face;
}

Vec normalized(Vec v) {
    const double length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return {v.x / length, v.y / length, v.z / length};
}

void expectVec(const double* actual, Vec expected, double tolerance = 0) {
    EXPECT_NEAR(actual[0], expected.x, tolerance);
    EXPECT_NEAR(actual[1], expected.y, tolerance);
    EXPECT_NEAR(actual[2], expected.z, tolerance);
}

TEST(Normals, WindingDecidesTheSide) {
    // Anticlockwise seen from +z, then the same corners clockwise.
    std::vector<Face> faces = {triangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, 0, 1, 2),
                               triangle({0, 0, 0}, {0, 1, 0}, {1, 0, 0}, 3, 4, 5)};
    ASSERT_TRUE(smoothCornerNormals(faces.data(), 2, 1));
    expectVec(faces[0].faceNormal, {0, 0, 1});
    expectVec(faces[1].faceNormal, {0, 0, -1});
    for (int k = 0; k < 3; ++k) {
        expectVec(faces[0].cornerNormal[k], {0, 0, 1});  // normalize(2 * (0, 0, 1)), exactly
        expectVec(faces[1].cornerNormal[k], {0, 0, -1});
    }
}

TEST(Normals, SharedCornerZeroCountsTheOwnFaceTwice) {
    // Two faces meeting at vertex 0 through corner 0, at an angle, so that u
    // and w differ and the weights show.
    std::vector<Face> faces = {triangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, 0, 1, 2),
                               triangle({0, 0, 0}, {0, 1, 0}, {0, 0, 1}, 0, 2, 3)};
    ASSERT_TRUE(smoothCornerNormals(faces.data(), 2, 1));
    const Vec u = {0, 0, 1}, w = {1, 0, 0};
    expectVec(faces[0].faceNormal, u);
    expectVec(faces[1].faceNormal, w);
    expectVec(faces[0].cornerNormal[0], normalized({2 * u.x + w.x, 2 * u.y + w.y, 2 * u.z + w.z}), 1e-15);
    expectVec(faces[1].cornerNormal[0], normalized({u.x + 2 * w.x, u.y + 2 * w.y, u.z + 2 * w.z}), 1e-15);
    // Vertex 2 is shared too, but as corner 2 of one face and corner 1 of the
    // other: those corners keep their own face's normal.
    expectVec(faces[0].cornerNormal[2], u);
    expectVec(faces[1].cornerNormal[1], w);
}

TEST(Normals, SharingThroughDifferentSlotsDoesNotMix) {
    // Vertex 7 is corner 0 of the first face and corner 2 of the second.
    std::vector<Face> faces = {triangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, 7, 1, 2),
                               triangle({5, 5, 5}, {0, 0, 0}, {0, 0, 0}, 3, 4, 7)};
    faces[1] = triangle({1, 0, 0}, {1, 0, 1}, {0, 0, 0}, 3, 4, 7);
    ASSERT_TRUE(smoothCornerNormals(faces.data(), 2, 1));
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(std::memcmp(faces[0].cornerNormal[k], faces[0].faceNormal, sizeof faces[0].faceNormal), 0);
        EXPECT_EQ(std::memcmp(faces[1].cornerNormal[k], faces[1].faceNormal, sizeof faces[1].faceNormal), 0);
    }
}

TEST(Normals, DegenerateTriangleGivesZerosWithoutDividingByZero) {
    // Division by zero and invalid operations trap while this runs.
    feclearexcept(FE_ALL_EXCEPT);
    feenableexcept(FE_DIVBYZERO | FE_INVALID);
    std::vector<Face> faces = {triangle({1, 2, 3}, {1, 2, 3}, {4, 5, 6}, 0, 0, 1)};
    ASSERT_TRUE(smoothCornerNormals(faces.data(), 1, 1));
    fedisableexcept(FE_DIVBYZERO | FE_INVALID);
    expectVec(faces[0].faceNormal, {0, 0, 0});
    for (const double* corner : faces[0].cornerNormal) expectVec(corner, {0, 0, 0});

    // A nearly degenerate triangle still gets a unit normal: no tolerance.
    Face sliver = triangle({0, 0, 0}, {1e-70, 0, 0}, {0, 1e-70, 0}, 0, 1, 2);
    expectVec(sliver.faceNormal, {0, 0, 1});
}

TEST(Normals, NormalizeHasNoTolerance) {
    double zero[3] = {0, -0.0, 0};
    normalize(zero);
    EXPECT_EQ(zero[0], 0.0);
    double tiny[3] = {0, 3e-200, 4e-200};  // the squares underflow: length exactly 0
    normalize(tiny);
    expectVec(tiny, {0, 0, 0});
    double small[3] = {0, 3e-150, 4e-150};
    normalize(small);
    expectVec(small, {0, 0.6, 0.8}, 1e-15);
    double notANumber[3] = {NAN, 1, 1};
    normalize(notANumber);
    EXPECT_TRUE(std::isnan(notANumber[1])) << "a NaN length takes the 1 / length branch";
}

// The definition, for face f: every face against it, slot by slot, in table
// order, added to the seeded corner normals, then normalised.
void scanCorners(const std::vector<Face>& seeded, std::size_t f, double corners[3][3]) {
    std::memcpy(corners, seeded[f].cornerNormal, sizeof seeded[f].cornerNormal);
    for (const Face& g : seeded)
        for (int k = 0; k < 3; ++k)
            if (g.vertexIndex[k] == seeded[f].vertexIndex[k])
                for (int c = 0; c < 3; ++c) corners[k][c] += g.faceNormal[c];
    for (int k = 0; k < 3; ++k) normalize(corners[k]);
}

// Bit for bit, except that a NaN only has to be a NaN: which operand's sign
// and payload an addition of two NaNs keeps is the processor's and the
// compiler's choice, not the arithmetic's.
bool sameBits(const double* a, const double* b) {
    for (int c = 0; c < 3; ++c)
        if (!(std::isnan(a[c]) && std::isnan(b[c])) && std::memcmp(&a[c], &b[c], sizeof(double)) != 0) return false;
    return true;
}

// Compares every `stride`-th face's corners with the scan; `smoothed` is the
// result of smoothCornerNormals on `seeded`.
void expectSameBitsAsScan(const std::vector<Face>& seeded, const std::vector<Face>& smoothed, std::size_t stride = 1) {
    for (std::size_t j = 0; j < seeded.size(); j += stride) {
        double expected[3][3];
        scanCorners(seeded, j, expected);
        for (int k = 0; k < 3; ++k)
            ASSERT_TRUE(sameBits(smoothed[j].cornerNormal[k], expected[k]))
                << "face " << j << " corner " << k << ": " << smoothed[j].cornerNormal[k][0] << " "
                << smoothed[j].cornerNormal[k][1] << " " << smoothed[j].cornerNormal[k][2] << ", the scan gives "
                << expected[k][0] << " " << expected[k][1] << " " << expected[k][2];
    }
}

// Every field, face by face; a NaN only has to be a NaN (see sameBits).
void expectSameFaces(const std::vector<Face>& actual, const std::vector<Face>& expected, const std::string& what) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t j = 0; j < actual.size(); ++j) {
        const Face& a = actual[j];
        const Face& e = expected[j];
        ASSERT_EQ(std::memcmp(a.vertexIndex, e.vertexIndex, sizeof a.vertexIndex), 0) << what << ", face " << j;
        for (int k = 0; k < 3; ++k) {
            ASSERT_TRUE(sameBits(&a.cornerPosition[k].x, &e.cornerPosition[k].x)) << what << ", face " << j;
            ASSERT_TRUE(sameBits(a.cornerNormal[k], e.cornerNormal[k])) << what << ", face " << j << " corner " << k;
        }
        ASSERT_TRUE(sameBits(a.faceNormal, e.faceNormal)) << what << ", face " << j;
    }
}

std::vector<Face> smoothedOnThreads(const std::vector<Face>& seeded, int threads) {
    std::vector<Face> smoothed = seeded;
    EXPECT_TRUE(smoothCornerNormals(smoothed.data(), static_cast<std::int32_t>(smoothed.size()), threads));
    return smoothed;
}

// smoothCornerNormals on one thread against the scan (every `stride`-th
// face), and on 2 and 3 threads against that. The tests of the CornerSums
// suite run again on narrower vectors (NarrowerVectorsGiveTheSameBits).
void expectSameBitsEverywhere(const std::vector<Face>& seeded, std::size_t stride = 1) {
    const std::vector<Face> one = smoothedOnThreads(seeded, 1);
    expectSameBitsAsScan(seeded, one, stride);
    for (int threads : {2, 3})
        expectSameFaces(smoothedOnThreads(seeded, threads), one, std::to_string(threads) + " threads");
}

std::vector<Face> randomMesh(std::mt19937_64& random, int vertexCount, int faceCount, bool hostileValues) {
    std::uniform_real_distribution<double> coordinate(-10, 10);
    std::vector<Vertex> vertices(static_cast<std::size_t>(vertexCount));
    for (Vertex& v : vertices) {
        v = {coordinate(random), coordinate(random), coordinate(random)};
        if (hostileValues && random() % 8 == 0) {
            const double specials[] = {INFINITY, -INFINITY, NAN, 0.0, -0.0, 1e-300, 1e300};
            (&v.x)[random() % 3] = specials[random() % 7];
        }
        if (random() % 6 == 0) v.z = 0;  // flat regions, -0 and +0 sums
    }
    std::vector<Face> faces;
    for (int j = 0; j < faceCount; ++j) {
        std::int32_t index[3];
        for (std::int32_t& i : index) i = static_cast<std::int32_t>(random() % static_cast<unsigned>(vertexCount));
        if (random() % 10 == 0) index[2] = index[1];  // degenerate: zero normal
        faces.push_back(
            triangle(vertices[index[0]], vertices[index[1]], vertices[index[2]], index[0], index[1], index[2]));
    }
    return faces;
}

TEST(CornerSums, SameBitsAsTheScanOnRandomMeshes) {
    std::mt19937_64 random(7);
    // Few vertices and many faces, so every vertex is shared in every slot.
    for (int round = 0; round < 20; ++round) expectSameBitsEverywhere(randomMesh(random, 3 + round, 200, round % 2));
    // Some 40 and some 275 faces per group and slot: groups summed a block of
    // corners at a time.
    expectSameBitsEverywhere(randomMesh(random, 300, 12000, false), 5);
    expectSameBitsEverywhere(randomMesh(random, 40, 11000, true), 5);
}

TEST(CornerSums, AFanCornerSharedByThousandsOfFacesHasTheScansBits) {
    // Corner 0 of nearly every face names the apex: one group of thousands,
    // enough additions to be shared between threads; corner 1 goes round 50
    // vertices (groups of 120), corner 2 round 2000 (groups of 3).
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> coordinate(-10, 10);
    std::vector<Vertex> vertices(2100);
    for (Vertex& v : vertices) v = {coordinate(random), coordinate(random), coordinate(random)};
    vertices[7] = {NAN, 0, 1};
    vertices[8] = {INFINITY, 0, 1};
    std::vector<Face> seeded;
    for (int j = 0; j < 6000; ++j) {
        const std::int32_t index[3] = {j % 10 == 3 ? 60 + j % 7 : 0, 1 + j % 50, 100 + j % 2000};
        const Vertex& last = j % 97 == 0 ? vertices[index[1]] : vertices[index[2]];  // now and then degenerate
        seeded.push_back(triangle(vertices[index[0]], vertices[index[1]], last, index[0], index[1], index[2]));
    }
    expectSameBitsEverywhere(seeded, 7);
}

TEST(Normals, AFanOfSeventyThousandFacesHasTheScansBits) {
    // 70 000 faces around one apex: a group whose normals outgrow a core's
    // cache, its corners shared out between threads.
    constexpr int faceCount = 70000;
    std::vector<Vertex> ring;
    for (int i = 0; i <= faceCount; ++i) {
        const double t = 2 * std::numbers::pi * i / faceCount;
        ring.push_back({12 * (1 + 0.3 * std::sin(7 * t)) * std::cos(t), 12 * std::sin(t), -5.0 + std::sin(3 * t)});
    }
    const Vertex apex = {0, 0, 10};
    std::vector<Face> seeded;
    seeded.reserve(static_cast<std::size_t>(faceCount));
    for (int j = 0; j < faceCount; ++j) seeded.push_back(triangle(apex, ring[j], ring[j + 1], 0, 1 + j, 2 + j));
    const std::vector<Face> two = smoothedOnThreads(seeded, 2);
    expectSameBitsAsScan(seeded, two, 997);
    expectSameFaces(smoothedOnThreads(seeded, 1), two, "one thread");
}

// Zero normals: a degenerate face's normal is zero, and the sign of each zero
// component depends on the corners (for example (-0, +0, +0) when corner 1 has
// y = -0 and the others y = +0). Adding a zero changes at most the sign of a
// zero, so these faces check that the sums keep every sign the scan gives.
const double zeroSigns[][3] = {{-0.0, -0.0, -0.0}, {0.0, -0.0, -0.0}, {-0.0, 0.0, -0.0}, {-0.0, -0.0, 0.0},
                               {0.0, 0.0, -0.0},   {0.0, -0.0, 0.0},  {-0.0, 0.0, 0.0},  {0.0, 0.0, 0.0}};
// Unit normals with zero components of either sign.
const double signedAxes[][3] = {{-0.0, -0.0, -1.0}, {0.0, -0.0, 1.0}, {-0.0, 0.6, -0.8}, {1.0, -0.0, -0.0}};

// Faces whose normals are drawn from those two lists (mostly zero), their
// corners from `vertexCount` vertices: groups that mix degenerate faces of
// every sign with faces whose own zero components are -0. With `negative`,
// only one zero in 20 has a +0 and every unit normal has x = -0, so that x
// sums to -0 in many a group unless such a zero is in it.
std::vector<Face> signedZeroMesh(std::mt19937_64& random, int vertexCount, int faceCount, bool negative = false) {
    std::vector<Face> faces(static_cast<std::size_t>(faceCount));
    for (Face& f : faces) {
        const double* n = random() % 4 ? zeroSigns[negative && random() % 20 ? 0 : random() % 8]
                                       : signedAxes[negative ? random() % 2 * 2 : random() % 4];
        for (std::int32_t& i : f.vertexIndex) i = static_cast<std::int32_t>(random() % vertexCount);
        std::memcpy(f.faceNormal, n, sizeof f.faceNormal);
        for (double* corner : f.cornerNormal) std::memcpy(corner, n, sizeof f.faceNormal);
    }
    return faces;
}

TEST(CornerSums, DegenerateFacesKeepTheScansSignsOfZero) {
    // Worked by hand: faces A (-0, -0, -0) and B (+0, -0, -0) share corner 0.
    // A's corner 0 is normalize(A + A + B) = (+0, -0, -0): B adds nothing but
    // the + sign of x, and A's other corners stay (-0, -0, -0).
    std::vector<Face> pair(2);
    for (int j = 0; j < 2; ++j) {
        pair[j].vertexIndex[1] = pair[j].vertexIndex[2] = j;  // corner 0 shared, the others not
        std::memcpy(pair[j].faceNormal, zeroSigns[j], sizeof zeroSigns[j]);
        for (double* corner : pair[j].cornerNormal) std::memcpy(corner, zeroSigns[j], sizeof zeroSigns[j]);
    }
    ASSERT_TRUE(smoothCornerNormals(pair.data(), 2, 1));
    EXPECT_FALSE(std::signbit(pair[0].cornerNormal[0][0])) << "B's +0 restores the + sign";
    EXPECT_TRUE(std::signbit(pair[0].cornerNormal[0][1]) && std::signbit(pair[0].cornerNormal[0][2]));
    EXPECT_TRUE(std::signbit(pair[0].cornerNormal[1][0])) << "corner 1 is A's alone";

    std::mt19937_64 random(3);
    // Groups of a few faces (a corner at a time), of hundreds (a block of
    // corners at a time) and of thousands (shared between threads).
    for (int vertices : {3000, 40, 3, 1}) expectSameBitsEverywhere(signedZeroMesh(random, vertices, 9000), 13);
    expectSameBitsEverywhere(signedZeroMesh(random, 300, 9000, true), 13);
}

TEST(CornerSums, NormalsWithNegativeZerosKeepThemInTheSums) {
    // Faces facing -z whose normals are (-0, -0, -1), all sharing corner 0:
    // x and y are sums of -0 alone and stay -0. A copy of a normal made as
    // 0 + x would give +0 instead. 3 faces go one corner at a time, 40 a
    // block of corners at a time.
    for (int count : {3, 40}) {
        std::vector<Face> faces(static_cast<std::size_t>(count));
        for (int j = 0; j < count; ++j) {
            faces[j].vertexIndex[1] = 1 + j;
            faces[j].vertexIndex[2] = 100 + j;
            std::memcpy(faces[j].faceNormal, signedAxes[0], sizeof signedAxes[0]);
            for (double* corner : faces[j].cornerNormal) std::memcpy(corner, signedAxes[0], sizeof signedAxes[0]);
        }
        expectSameBitsEverywhere(faces);
        std::vector<Face> smoothed = faces;
        ASSERT_TRUE(smoothCornerNormals(smoothed.data(), count, 1));
        EXPECT_TRUE(std::signbit(smoothed[0].cornerNormal[0][0]) && std::signbit(smoothed[0].cornerNormal[0][1]));
    }
}

TEST(Normals, DegenerateFacesFromSignedZeroCoordinatesKeepTheScansBits) {
    // Corners on a small lattice whose coordinates are mostly -0 and +0: most
    // triangles are degenerate, with zero normals of every sign, and the flat
    // ones have zero components of either sign. Corner 0 names one of 3
    // vertices, the others one of 32: groups of thousands and of hundreds.
    std::mt19937_64 random(5);
    const double values[] = {-0.0, 0.0, -0.0, 1.0};
    std::vector<Vertex> vertices(64);
    for (std::size_t i = 0; i < vertices.size(); ++i) vertices[i] = {values[i % 4], values[i / 4 % 4], values[i / 16]};
    std::vector<std::int32_t> corners;
    for (int j = 0; j < 7000; ++j)
        for (int k = 0; k < 3; ++k) corners.push_back(static_cast<std::int32_t>(random() % (k == 0 ? 3 : 32)));
    std::vector<Face> seeded;
    for (std::size_t c = 0; c < corners.size(); c += 3) {
        const std::int32_t* i = &corners[c];
        seeded.push_back(triangle(vertices[i[0]], vertices[i[1]], vertices[i[2]], i[0], i[1], i[2]));
    }
    for (int threads : {1, 2}) {
        std::vector<Face> filled(seeded.size());
        EXPECT_TRUE(fillFaceTable(filled.data(), static_cast<std::int32_t>(filled.size()), vertices.data(),
                                  corners.data(), static_cast<std::int32_t>(vertices.size()), threads));
        expectSameBitsAsScan(seeded, filled, 3);
    }
}

TEST(CornerSums, AMeshOfOneVertexHasTheScansBits) {
    // One vertex named by every corner of 200 000 faces: every face is
    // degenerate and one group per slot holds them all. Then the same with one
    // face in a hundred a proper triangle sharing corner 0.
    for (bool mixed : {false, true}) {
        SCOPED_TRACE(mixed ? "mixed" : "all degenerate");
        std::vector<Vertex> vertices = {{1, 2, 3}, {-4, 0, 1}, {5, -0.0, 2}};
        std::vector<std::int32_t> corners;
        for (int j = 0; j < 200000; ++j)
            corners.insert(corners.end(), {0, mixed && j % 100 == 7 ? 1 : 0, mixed && j % 100 == 7 ? 2 : 0});
        std::vector<Face> faces(corners.size() / 3);
        ASSERT_TRUE(fillFaceTable(faces.data(), static_cast<std::int32_t>(faces.size()), vertices.data(),
                                  corners.data(), 3, 2));
        std::vector<Face> seeded = faces;
        for (Face& f : seeded)
            for (double* corner : f.cornerNormal) std::memcpy(corner, f.faceNormal, sizeof f.faceNormal);
        expectSameBitsAsScan(seeded, faces, 9973);
    }
}

// A closed grid of quads as a torus is written, 250 000 triangles: enough
// for several blocks of the fill and for two threads. One face in a hundred
// also names a vertex from far away, so that some groups reach across blocks
// and across the threads' halves of the table.
struct GridMesh {
    std::vector<Vertex> vertices;
    std::vector<std::int32_t> corners;
};

GridMesh gridMesh() {
    constexpr int rows = 500, columns = 250;
    std::mt19937_64 random(5);
    std::uniform_real_distribution<double> jitter(-0.01, 0.01);
    GridMesh mesh;
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < columns; ++j) {
            const double u = 2 * std::numbers::pi * i / rows, w = 2 * std::numbers::pi * j / columns;
            mesh.vertices.push_back({(12 + 4 * std::cos(w)) * std::cos(u) + jitter(random),
                                     (12 + 4 * std::cos(w)) * std::sin(u), 4 * std::sin(w)});
        }
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < columns; ++j) {
            const int a = i * columns + j, b = i * columns + (j + 1) % columns;
            const int c = (i + 1) % rows * columns + (j + 1) % columns, d = (i + 1) % rows * columns + j;
            mesh.corners.insert(mesh.corners.end(), {a, b, c, a, c, d});
        }
    for (std::size_t corner = 0; corner < mesh.corners.size(); corner += 97 + random() % 7)
        mesh.corners[corner] = static_cast<std::int32_t>(random() % mesh.vertices.size());
    return mesh;
}

std::vector<Face> filledOnThreads(const GridMesh& mesh, int threads) {
    std::vector<Face> faces(mesh.corners.size() / 3);
    EXPECT_TRUE(fillFaceTable(faces.data(), static_cast<std::int32_t>(faces.size()), mesh.vertices.data(),
                              mesh.corners.data(), static_cast<std::int32_t>(mesh.vertices.size()), threads));
    return faces;
}

TEST(Normals, FillingTheFaceTableGivesTheScansBitsOnAnyThreads) {
    const GridMesh mesh = gridMesh();
    std::vector<Face> seeded;
    for (std::size_t c = 0; c < mesh.corners.size(); c += 3) {
        const std::int32_t* i = &mesh.corners[c];
        seeded.push_back(triangle(mesh.vertices[i[0]], mesh.vertices[i[1]], mesh.vertices[i[2]], i[0], i[1], i[2]));
    }
    const std::vector<Face> one = filledOnThreads(mesh, 1);
    expectSameBitsAsScan(seeded, one, 499);
    expectSameFaces(filledOnThreads(mesh, 2), one, "two threads");
    expectSameFaces(filledOnThreads(mesh, 3), one, "three threads");
    std::vector<Face> plain = seeded;
    ASSERT_TRUE(smoothCornerNormals(plain.data(), static_cast<std::int32_t>(plain.size()), 2));
    expectSameFaces(plain, one, "computeFaceNormal and smoothCornerNormals face by face");
}

// A real mesh as the viewer loads it, and its faces as computeFaceNormal
// left them, with the corner normals back at their seed.
struct Loaded {
    std::vector<Face> smoothed, seeded;
};

Loaded load(const std::string& path) {
    Model model;
    std::string error;
    EXPECT_TRUE(loadModel(path.c_str(), model, error)) << error;
    Loaded loaded;
    loaded.smoothed.assign(model.faces.get(), model.faces.get() + model.faceCount);
    loaded.seeded = loaded.smoothed;
    for (Face& f : loaded.seeded)
        for (double* corner : f.cornerNormal) std::memcpy(corner, f.faceNormal, sizeof f.faceNormal);
    return loaded;
}

TEST(Normals, SameBitsAsTheScanOnRealMeshes) {
    for (const char* name : {"cgal-cube.off", "cgal-degtri_sliding.off", "cgal-horizons.off", "geomview-cone.off"}) {
        SCOPED_TRACE(name);
        const Loaded mesh = load(std::string(TEST_DATA_DIR) + "/" + name);
        expectSameBitsAsScan(mesh.seeded, mesh.smoothed);
    }
}

TEST(Normals, SameBitsAsTheScanOnTheSharedCorpus) {
    const std::string corpus = SHARED_CORPUS_DIR;
    std::ifstream table(corpus + "/expected.tsv");
    if (!table) GTEST_SKIP() << "no corpus at " << corpus << "; skipping";
    std::string line;
    std::getline(table, line);
    while (std::getline(table, line)) {
        const std::string name = line.substr(0, line.find('\t'));
        SCOPED_TRACE(name);
        const Loaded mesh = load(corpus + "/" + name);
        // The scan is quadratic: on the big meshes, check a sample of faces.
        expectSameBitsAsScan(mesh.seeded, mesh.smoothed, 1 + mesh.seeded.size() / 2000);
    }
}

TEST(CornerSums, NegativeIndicesHaveTheScansBits) {
    // A load only makes indices from 0 up; the face table itself may hold
    // any, and the rule still applies to them.
    std::mt19937_64 random(13);
    std::vector<Face> seeded = randomMesh(random, 30, 500, true);
    for (std::size_t j = 0; j < seeded.size(); j += 3) seeded[j].vertexIndex[j % 3] = -1 - static_cast<int>(j % 5);
    expectSameBitsEverywhere(seeded);
}

TEST(Normals, WithoutMemoryForTheIndexNothingIsWritten) {
    if (addressSanitizer) GTEST_SKIP() << "the address sanitizer reserves more address space than the limit allows";
    // Faces that name vertices up to 50 million need an index of 600 MB. In a
    // child limited to 200 MB more address space than it holds, that memory
    // cannot be had: fillFaceTable and smoothCornerNormals say so, and leave
    // the face table as it was.
    std::mt19937_64 random(17);
    std::vector<Face> seeded = randomMesh(random, 30, 600, false);
    for (Face& f : seeded)
        for (std::int32_t& i : f.vertexIndex) i *= 1700000;
    const std::vector<std::int32_t> corners(3 * seeded.size(), 0);
    const std::vector<Vertex> vertices(1);
    std::vector<Face> filled(seeded.size());

    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        std::ifstream status("/proc/self/statm");
        long pages = 0;
        status >> pages;
        const rlim_t limit = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (200 << 20);
        const rlimit memory{limit, limit};
        if (setrlimit(RLIMIT_AS, &memory) != 0) _exit(10);
        // An emulator such as qemu-user keeps the guest's memory itself and
        // does not hold it to the limit: then there is nothing to test.
        void* volatile beyond = std::malloc(std::size_t{400} << 20);
        if (beyond) _exit(13);
        if (fillFaceTable(filled.data(), static_cast<std::int32_t>(filled.size()), vertices.data(), corners.data(),
                          50000000, 1))
            _exit(11);
        std::vector<Face> smoothed = seeded;
        if (smoothCornerNormals(smoothed.data(), static_cast<std::int32_t>(smoothed.size()), 1)) _exit(12);
        const std::vector<Face> untouched(filled.size());
        const std::size_t bytes = sizeof(Face) * seeded.size();
        _exit(std::memcmp(filled.data(), untouched.data(), bytes) != 0 ||
                      std::memcmp(smoothed.data(), seeded.data(), bytes) != 0
                  ? 14
                  : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the child ended with signal " << WTERMSIG(status);
    if (WEXITSTATUS(status) == 13) GTEST_SKIP() << "the address-space limit is not enforced here (an emulator?)";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "10: no limit set; 11: fillFaceTable got the memory; 12: "
                                         "smoothCornerNormals got it; 14: the faces were written";
}

// On x86-64 the sums are as wide as the vectors the C library reports
// usable, and it can be told to report fewer: the CornerSums tests again, in
// a child with AVX2 hidden from it.
TEST(Normals, NarrowerVectorsGiveTheSameBits) {
#if !defined(__x86_64__)
    GTEST_SKIP() << "one vector width on this processor";
#endif
    for (const char* hidden : {"glibc.cpu.hwcaps=-AVX2"}) {
        SCOPED_TRACE(hidden);
        const pid_t child = fork();
        ASSERT_NE(child, -1);
        if (child == 0) {
            setenv("GLIBC_TUNABLES", hidden, 1);
            execl("/proc/self/exe", "normals_test", "--gtest_filter=CornerSums.*", "--gtest_brief=1", nullptr);
            _exit(127);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    }
}

}  // namespace
