#include "mesh/normals.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <thread>
#include <vector>

void normalize(double v[3]) {
    const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    const double factor = length != 0.0 ? 1.0 / length : 0.0;
    v[0] *= factor;
    v[1] *= factor;
    v[2] *= factor;
}

void computeFaceNormal(Face& face) {
    const Vertex& p0 = face.cornerPosition[0];
    const Vertex& p1 = face.cornerPosition[1];
    const Vertex& p2 = face.cornerPosition[2];
    const double a[3] = {p1.x - p0.x, p1.y - p0.y, p1.z - p0.z};
    const double b[3] = {p2.x - p0.x, p2.y - p0.y, p2.z - p0.z};
    double* n = face.faceNormal;
    n[0] = a[1] * b[2] - a[2] * b[1];
    n[1] = a[2] * b[0] - a[0] * b[2];
    n[2] = a[0] * b[1] - a[1] * b[0];
    normalize(n);
    for (double* corner : face.cornerNormal) {
        corner[0] = n[0];
        corner[1] = n[1];
        corner[2] = n[2];
    }
}

// The shading rule is the viewer's own and is deliberate, though it looks
// like a slip: a corner gathers only the faces whose *same* corner slot names
// its vertex, the face itself counts twice (seed plus its own turn), and every
// face weighs the same whatever its area. It is defined by a scan over all
// face pairs in table order; what follows must give the same bits, so it adds
// exactly the same normals in exactly the same order, only without looking at
// the faceCount x faceCount pairs that cannot match.
//
// For each slot k the faces are grouped by the vertex their corner k names: a
// counting sort, which keeps each group in table order. The group's normals
// are copied next to each other, so a corner's sum is one contiguous pass.
// Every corner is independent of every other, so faces are split between the
// threads; each thread writes only its own faces.
namespace {

struct Grouping {
    std::vector<std::int32_t> groupStart;  // per vertex; group of v is [groupStart[v], groupStart[v + 1])
    std::vector<double> groupedNormals;    // 3 doubles per face, grouped by vertex, table order within a group
};

void groupBySlot(const Face* faces, std::int32_t faceCount, std::int32_t vertexSpan, int k, Grouping& g) {
    g.groupStart.assign(static_cast<std::size_t>(vertexSpan) + 1, 0);
    for (std::int32_t j = 0; j < faceCount; ++j) ++g.groupStart[faces[j].vertexIndex[k] + 1];
    for (std::int32_t v = 0; v < vertexSpan; ++v) g.groupStart[v + 1] += g.groupStart[v];
    std::vector<std::int32_t> next(g.groupStart.begin(), g.groupStart.end() - 1);
    g.groupedNormals.resize(3 * static_cast<std::size_t>(faceCount));
    for (std::int32_t j = 0; j < faceCount; ++j) {
        double* slot = &g.groupedNormals[3 * static_cast<std::size_t>(next[faces[j].vertexIndex[k]]++)];
        slot[0] = faces[j].faceNormal[0];
        slot[1] = faces[j].faceNormal[1];
        slot[2] = faces[j].faceNormal[2];
    }
}

void sumCorners(Face* faces, std::int32_t first, std::int32_t last, int k, const Grouping& g) {
    for (std::int32_t j = first; j < last; ++j) {
        const std::int32_t v = faces[j].vertexIndex[k];
        const double* n = &g.groupedNormals[3 * static_cast<std::size_t>(g.groupStart[v])];
        const double* end = &g.groupedNormals[3 * static_cast<std::size_t>(g.groupStart[v + 1])];
        double* corner = faces[j].cornerNormal[k];
        double x = corner[0], y = corner[1], z = corner[2];
        for (; n != end; n += 3) {
            x += n[0];
            y += n[1];
            z += n[2];
        }
        corner[0] = x;
        corner[1] = y;
        corner[2] = z;
        normalize(corner);
    }
}

// Below this many faces a second thread costs more than it saves.
constexpr std::int32_t facesPerExtraThread = 10000;

}  // namespace

void smoothCornerNormals(Face* faces, std::int32_t faceCount) {
    if (faceCount <= 0) return;
    std::int32_t vertexSpan = 0;
    for (std::int32_t j = 0; j < faceCount; ++j)
        for (std::int32_t index : faces[j].vertexIndex) {
            assert(index >= 0);
            vertexSpan = std::max(vertexSpan, index + 1);
        }

    const unsigned hardware = std::max(1u, std::thread::hardware_concurrency());
    const auto threads = static_cast<std::int32_t>(
        std::min<unsigned>(hardware, static_cast<unsigned>(1 + faceCount / facesPerExtraThread)));

    Grouping g;
    for (int k = 0; k < 3; ++k) {
        groupBySlot(faces, faceCount, vertexSpan, k, g);
        std::vector<std::thread> helpers;
        for (std::int32_t t = 1; t < threads; ++t) {
            const std::int32_t first = static_cast<std::int32_t>(std::int64_t{faceCount} * t / threads);
            const std::int32_t last = static_cast<std::int32_t>(std::int64_t{faceCount} * (t + 1) / threads);
            helpers.emplace_back(sumCorners, faces, first, last, k, std::cref(g));
        }
        sumCorners(faces, 0, static_cast<std::int32_t>(std::int64_t{faceCount} / threads), k, g);
        for (std::thread& helper : helpers) helper.join();
    }
}
