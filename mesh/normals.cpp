#include "mesh/normals.h"

#include <algorithm>
#include <cmath>

#include "mesh/workers.h"

#if defined(__x86_64__)
#define _Bool bool  // NOLINT(bugprone-reserved-identifier): the header is C, and clang's C++ has no _Bool
#include <sys/platform/x86.h>
#undef _Bool
#endif

void normalize(double v[3]) {
    const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    const double factor = length != 0.0 ? 1.0 / length : 0.0;
    v[0] *= factor;
    v[1] *= factor;
    v[2] *= factor;
}

// The shading rule is the viewer's own and deliberate, though it looks like a
// slip: a corner gathers only the faces whose *same* slot names its vertex,
// its own face counts twice (seed and own turn), and no face is weighed by
// area. A scan over all face pairs in table order defines it; what follows
// adds, for every corner, the same normals in the same order: the same bits.
//
// The faces whose corner k names vertex v form the group (v, k); a counting
// sort of the corners lays out each group in table order. A load writes all
// the face normals first, so that the sums of a face can read those of faces
// further on, then the rest of each record, corner normals included, a face
// after the other. A group of a few faces, as nearly all are, is summed a
// corner at a time. A bigger one has its normals copied out once, and its
// corners run down the copy together, a lane each, one load of a normal
// feeding all the lanes; a group of thousands (the centre of a fan) shares
// its corners out between threads.
//
// A degenerate face's normal is zero, and adding a zero changes nothing but
// perhaps the sign of a zero: in round-to-nearest, x + -0 = x, and x + +0 = x
// unless x = -0. A sum is -0 only if every term was -0, so leaving the zeros
// out changes a component only where what is left sums to -0 and a zero left
// out was +0. The copy of a big group leaves its zeros out and sums them
// apart, from -0, for each corner to add at the end, which restores just that
// +0: degenerate faces then cost no additions per pair.
namespace {

constexpr std::int32_t fewFaces = 16;         // a bigger group is summed a block of corners at a time
constexpr std::int64_t facesPerTask = 16384;  // what a thread takes at a time
// Below these amounts a second thread costs more than it saves.
constexpr std::int64_t facesPerExtraThread = 50000, additionsPerExtraThread = 20000000;

void unitNormal(const Vertex& p0, const Vertex& p1, const Vertex& p2, double n[3]) {
    const double a[3] = {p1.x - p0.x, p1.y - p0.y, p1.z - p0.z};
    const double b[3] = {p2.x - p0.x, p2.y - p0.y, p2.z - p0.z};
    n[0] = a[1] * b[2] - a[2] * b[1];
    n[1] = a[2] * b[0] - a[0] * b[2];
    n[2] = a[0] * b[1] - a[1] * b[0];
    normalize(n);
}

// Calls work(first, last) on threads for runs of faces that cover the table.
template <class Work>
void forFaces(std::int32_t faceCount, int threads, const Work& work) {
    shareOut(
        threadsFor(faceCount, facesPerExtraThread, threads), (faceCount + facesPerTask - 1) / facesPerTask,
        [&](std::int64_t t) { work(t * facesPerTask, std::min<std::int64_t>(faceCount, (t + 1) * facesPerTask)); });
}

// Every group laid out by a counting sort of the corners: slot k's groups one
// after the other in face[k * faceCount ..], each in table order, the group
// of vertex lowest + v from start[k * (vertices + 1) + v] to the next start.
struct Groups {
    Table<std::int32_t> start, face;
    std::int64_t faceCount = 0, vertices = 0;
    std::int32_t lowest = 0, biggest = 0;
};

struct Group {
    const std::int32_t* face;
    std::int32_t size;
};

Group groupAt(const Groups& g, int k, std::int64_t v) {
    const std::int32_t* start = g.start.get() + k * (g.vertices + 1) + v;
    return {g.face.get() + k * g.faceCount + start[0], start[1] - start[0]};
}

bool sortCorners(const std::int32_t* corners, std::int32_t faceCount, Groups& g) {
    const std::int64_t span = g.vertices + 1;  // and one more for the slot's end
    g.faceCount = faceCount;
    g.start = allocateWrittenTable<std::int32_t>(3 * span);
    g.face = allocateWrittenTable<std::int32_t>(3 * g.faceCount);
    if (!g.start || !g.face) return false;
    std::fill_n(g.start.get(), 3 * span, 0);
    auto startOf = [&](std::int64_t j, int k) { return k * span + corners[3 * j + k] - g.lowest; };
    for (std::int64_t j = 0; j < faceCount; ++j)
        for (int k = 0; k < 3; ++k) ++g.start[startOf(j, k)];
    for (int k = 0; k < 3; ++k)  // each group's size becomes its end
        for (std::int64_t s = k * span, end = 0; s < (k + 1) * span; ++s) {
            g.biggest = std::max(g.biggest, g.start[s]);
            g.start[s] = static_cast<std::int32_t>(end += g.start[s]);
        }
    // Backwards, so that each group comes out in table order and its end
    // moves back to its start.
    for (std::int64_t j = faceCount - 1; j >= 0; --j)
        for (int k = 0; k < 3; ++k) g.face[k * g.faceCount + --g.start[startOf(j, k)]] = static_cast<std::int32_t>(j);
    return true;
}

// A big group's sums: corner k of each of its faces starts from the face's
// own normal and adds `xyz`, the group's non-zero normals in table order,
// then `zeros`, its zero normals summed from -0.
struct Sums {
    Face* faces;
    int k;
    const double* xyz;
    std::int64_t count;
    double zeros[3];
};

// The corners of `count` faces of the group, `lanes` at a time, each lane in
// an accumulator of its own: the compiler's vector types keep a block in
// registers whatever the width, and every lane rounds exactly as a scalar
// addition. Lanes past the end start from zero and are thrown away.
template <class Vector, int lanes>
[[gnu::always_inline]] inline void addNormals(const Sums& s, const std::int32_t* face, std::int32_t count) {
    constexpr int width = sizeof(Vector) / sizeof(double), vectors = lanes / width;
    for (std::int32_t done = 0; done < count; done += lanes) {
        const int m = std::min<std::int32_t>(lanes, count - done);
        Vector acc[3][vectors] = {};
        for (int i = 0; i < m; ++i)
            for (int c = 0; c < 3; ++c) acc[c][i / width][i % width] = s.faces[face[done + i]].faceNormal[c];
        for (std::int64_t q = 0; q < s.count; ++q)
#pragma GCC unroll 3
            for (int c = 0; c < 3; ++c)
#pragma GCC unroll 4
                for (int v = 0; v < vectors; ++v) acc[c][v] += s.xyz[3 * q + c];
        for (int i = 0; i < m; ++i) {
            double* corner = s.faces[face[done + i]].cornerNormal[s.k];
            for (int c = 0; c < 3; ++c) corner[c] = acc[c][i / width][i % width] + s.zeros[c];
            normalize(corner);
        }
    }
}

// Four vectors per coordinate, twelve registers, as wide as the processor's
// (the lanes of one width would not fit the registers of a narrower one).
// AVX-512 was no faster than AVX2 on the fans, so it is not asked for.
using AddNormals = void (*)(const Sums&, const std::int32_t*, std::int32_t);
using Double2 = double __attribute__((vector_size(16)));
void addNormals2(const Sums& s, const std::int32_t* face, std::int32_t count) {
    addNormals<Double2, 8>(s, face, count);
}
#if defined(__x86_64__)
using Double4 = double __attribute__((vector_size(32)));
[[gnu::target("avx2")]] void addNormals4(const Sums& s, const std::int32_t* face, std::int32_t count) {
    addNormals<Double4, 16>(s, face, count);
}
#endif

AddNormals widestAddNormals() {
#if defined(__x86_64__)
    if (CPU_FEATURE_ACTIVE(AVX2)) return addNormals4;
#endif
    return addNormals2;
}

// The corner normals of every face, and with `vertices` the rest of its
// record too, from `corners` (3 * j + k); g.lowest and g.vertices give their
// range. Gets all its memory before it writes a face.
bool smooth(Face* faces, std::int32_t faceCount, const Vertex* vertices, const std::int32_t* corners, Groups& g,
            int threads) {
    if (!sortCorners(corners, faceCount, g)) return false;
    Table<double> room = allocateTable<double>(g.biggest > fewFaces ? 3 * std::int64_t{g.biggest} : 0);
    if (g.biggest > fewFaces && !room) return false;
    if (vertices)
        forFaces(faceCount, threads, [&](std::int64_t first, std::int64_t last) {
            populateForWriting(faces + first, sizeof(Face) * static_cast<std::size_t>(last - first));
            for (const std::int32_t* i = corners + 3 * first; i < corners + 3 * last; i += 3)
                unitNormal(vertices[i[0]], vertices[i[1]], vertices[i[2]], faces[(i - corners) / 3].faceNormal);
        });
    forFaces(faceCount, threads, [&](std::int64_t first, std::int64_t last) {
        for (std::int64_t j = first; j < last; ++j) {
            if (vertices) {
                std::copy_n(corners + 3 * j, 3, faces[j].vertexIndex);
                for (int k = 0; k < 3; ++k) faces[j].cornerPosition[k] = vertices[corners[3 * j + k]];
            }
            for (int k = 0; k < 3; ++k) {
                const Group group = groupAt(g, k, corners[3 * j + k] - g.lowest);
                if (group.size > fewFaces) continue;
                double* corner = faces[j].cornerNormal[k];
                std::copy_n(faces[j].faceNormal, 3, corner);
                for (std::int32_t i = 0; i < group.size; ++i)
                    for (int c = 0; c < 3; ++c) corner[c] += faces[group.face[i]].faceNormal[c];
                normalize(corner);
            }
        }
    });
    const AddNormals addMany = widestAddNormals();
    constexpr std::int32_t run = 64;  // corners per task
    for (int k = 0; k < 3; ++k)
        for (std::int64_t v = 0; v < g.vertices; ++v) {
            const Group group = groupAt(g, k, v);
            if (group.size <= fewFaces) continue;
            Sums s{faces, k, room.get(), 0, {-0.0, -0.0, -0.0}};
            for (std::int32_t i = 0; i < group.size; ++i) {
                const double* n = faces[group.face[i]].faceNormal;
                if (n[0] == 0 && n[1] == 0 && n[2] == 0)
                    for (int c = 0; c < 3; ++c) s.zeros[c] += n[c];
                else
                    std::copy_n(n, 3, &room[3 * s.count++]);
            }
            shareOut(threadsFor(std::int64_t{group.size} * s.count, additionsPerExtraThread, threads),
                     (group.size + run - 1) / run, [&](std::int64_t r) {
                         const auto first = static_cast<std::int32_t>(r * run);
                         addMany(s, group.face + first, std::min(run, group.size - first));
                     });
        }
    return true;
}

}  // namespace

void computeFaceNormal(Face& face) {
    unitNormal(face.cornerPosition[0], face.cornerPosition[1], face.cornerPosition[2], face.faceNormal);
    for (double* corner : face.cornerNormal) std::copy_n(face.faceNormal, 3, corner);
}

bool smoothCornerNormals(Face* faces, std::int32_t faceCount, int threads) {
    if (faceCount <= 0) return true;
    Table<std::int32_t> corners = allocateWrittenTable<std::int32_t>(3 * std::int64_t{faceCount});
    if (!corners) return false;
    forFaces(faceCount, threads, [&](std::int64_t first, std::int64_t last) {
        for (std::int64_t j = first; j < last; ++j) std::copy_n(faces[j].vertexIndex, 3, &corners[3 * j]);
    });
    const auto [lowest, highest] = std::minmax_element(corners.get(), corners.get() + 3 * std::int64_t{faceCount});
    Groups g;
    g.lowest = *lowest;
    g.vertices = std::int64_t{*highest} - *lowest + 1;
    return smooth(faces, faceCount, nullptr, corners.get(), g, threads);
}

bool fillFaceTable(Face* faces, std::int32_t faceCount, const Vertex* vertices, const std::int32_t* corners,
                   std::int32_t vertexCount, int threads) {
    Groups g;
    g.vertices = vertexCount;
    return faceCount <= 0 || smooth(faces, faceCount, vertices, corners, g, threads);
}
