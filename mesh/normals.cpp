#include "mesh/normals.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#include "mesh/normals_width.h"
#include "mesh/workers.h"

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
    for (double* corner : face.cornerNormal)
        for (int c = 0; c < 3; ++c) corner[c] = n[c];
}

// The shading rule is the viewer's own and is deliberate, though it looks
// like a slip: a corner gathers only the faces whose *same* corner slot names
// its vertex, the face itself counts twice (seed plus its own turn), and every
// face weighs the same whatever its area. It is defined by a scan over all
// face pairs in table order; what follows gives the same bits, because every
// corner adds exactly the same normals in exactly the same order.
//
// The faces whose corner k names vertex v form the group (v, k); a counting
// sort of the corners lays each one out in table order. The load fills the
// face table a block at a time and sums the groups that start in a block once
// the next block is filled, while their normals are still in cache (a group
// usually lies within a block or two); a group that reaches further waits
// for a second pass. A group's normals are copied out once, and a block of
// its corners runs down the copy together, each lane adding them in order
// into its own accumulator: m * m additions for m faces, but one load of a
// normal feeds the whole block.
//
// A degenerate face's normal is zero, and adding a zero changes nothing but
// perhaps the sign of a zero: in round-to-nearest, x + -0 = x, and x + +0 = x
// unless x = -0. A sum is -0 only if every term was -0, so leaving the zeros
// out changes a component only where what is left sums to -0 and a zero left
// out was +0. The zeros left out are summed apart, from -0, and added to each
// corner at the end, which restores just that +0; the additions then grow
// with the group's non-degenerate faces alone.
//
// Every corner has one writer and reads only face normals, so the work is
// split between threads freely: by chunks of faces, and within the few groups
// big enough to be worth it, by runs of corners.
namespace {

// A block: about 370 KB of face records, so that the block being filled and
// the one being summed stay in a core's second-level cache.
constexpr std::int32_t blockFaces = 2048;
constexpr std::int64_t chunkFaces = std::int64_t{32} * blockFaces;  // what a thread takes at a time
// Below these amounts a second thread costs more than it saves.
constexpr std::int64_t facesPerExtraThread = 50000, additionsPerExtraThread = 20000000;
// Normals copied out at a time: 6 KB on a thread's stack, or 0.75 MB (which
// stays in cache while the corners of a huge group go by).
constexpr std::int64_t smallStretch = 256, bigStretch = 1 << 15;

// A stretch of the group being summed: the normals that corner k of each of
// its faces adds, x, y, z after x, y, z, in table order but for the zero ones.
struct Stretch {
    Face* faces;
    int k;
    const double* normals;
    std::int64_t length;
    double zeros[3];  // the zero normals of the whole group, summed from -0
    bool last;        // the group's last stretch: add the zeros and normalize
};

// Adds the stretch to the corners of `count` faces, `lanes` at a time, each
// lane in an accumulator of its own: the compiler's vector types (or a
// double, for one lane) keep a block in registers whatever the width, and
// every lane rounds exactly as a scalar addition. Lanes past the end start
// from zero and are thrown away.
template <class Vector, int lanes>
[[gnu::always_inline]] inline void addStretchWith(const Stretch& s, const std::int32_t* face, std::int32_t count) {
    constexpr int vectors = lanes * sizeof(double) / sizeof(Vector);
    for (std::int32_t done = 0; done < count; done += lanes) {
        const int n = static_cast<int>(std::min<std::int32_t>(lanes, count - done));
        double sum[3][lanes] = {};
        for (int i = 0; i < n; ++i)
            for (int c = 0; c < 3; ++c) sum[c][i] = s.faces[face[done + i]].cornerNormal[s.k][c];
        Vector acc[3][vectors];
        std::memcpy(acc, sum, sizeof acc);
        for (std::int64_t q = 0; q < s.length; ++q)
#pragma GCC unroll 3
            for (int c = 0; c < 3; ++c)
#pragma GCC unroll 4
                for (int v = 0; v < vectors; ++v)
                    acc[c][v] += s.normals[3 * q + c];  // broadcast as it is, not via 0 + x
        std::memcpy(sum, acc, sizeof acc);
        for (int i = 0; i < n; ++i) {
            double* corner = s.faces[face[done + i]].cornerNormal[s.k];
            for (int c = 0; c < 3; ++c) corner[c] = s.last ? sum[c][i] + s.zeros[c] : sum[c][i];
            if (s.last) normalize(corner);
        }
    }
}

// A group of a few faces, as most are, goes one corner at a time; bigger ones
// a block of corners at a time: four vectors per coordinate, twelve
// registers, as wide as the target's (the lanes of one width would not fit
// the registers of a narrower one).
constexpr std::int32_t fewFaces = 4;
using Double2 = double __attribute__((vector_size(16)));
using AddStretch = void (*)(const Stretch&, const std::int32_t*, std::int32_t);

void addToMany(const Stretch& s, const std::int32_t* face, std::int32_t count) {
    addStretchWith<Double2, 8>(s, face, count);
}
#if defined(__x86_64__)
using Double4 = double __attribute__((vector_size(32)));
using Double8 = double __attribute__((vector_size(64)));
[[gnu::target("avx2")]] void addToManyAvx2(const Stretch& s, const std::int32_t* face, std::int32_t count) {
    addStretchWith<Double4, 16>(s, face, count);
}
[[gnu::target("avx512f")]] void addToManyAvx512(const Stretch& s, const std::int32_t* face, std::int32_t count) {
    addStretchWith<Double8, 32>(s, face, count);
}
#endif

std::atomic<int> widestAllowed{8};

AddStretch pickAddToMany() {
#if defined(__x86_64__)
    __builtin_cpu_init();
    const int widest = widestAllowed.load(std::memory_order_relaxed);
    if (widest >= 8 && __builtin_cpu_supports("avx512f")) return addToManyAvx512;
    if (widest >= 4 && __builtin_cpu_supports("avx2")) return addToManyAvx2;
#endif
    return addToMany;
}

// Every group laid out by a counting sort of the corners: slot k's groups one
// after the other in face[k * faceCount ..], each in table order, the group
// (v, k) from start[k * span + v] to start[k * span + v + 1].
struct Groups {
    Table<std::int32_t> start, face;
    std::int64_t faceCount = 0, span = 0;  // span: the vertex indices, and one more for the slot's end
    std::int32_t biggest = 0;
};

struct Group {
    const std::int32_t* face;
    std::int32_t size;
};

Group groupOf(const Groups& g, int k, std::int32_t v) {
    const std::int32_t* start = g.start.get() + k * g.span + v;
    return {g.face.get() + k * g.faceCount + start[0], start[1] - start[0]};
}

bool sortCorners(const std::int32_t* corners, std::int32_t faceCount, std::int32_t vertexSpan, Groups& g) {
    g.faceCount = faceCount;
    g.span = std::int64_t{vertexSpan} + 1;
    g.start = allocateWrittenTable<std::int32_t>(3 * g.span);
    g.face = allocateWrittenTable<std::int32_t>(3 * g.faceCount);
    if (!g.start || !g.face) return false;
    std::fill_n(g.start.get(), 3 * g.span, 0);
    for (std::int64_t j = 0; j < g.faceCount; ++j)
        for (int k = 0; k < 3; ++k) ++g.start[k * g.span + corners[3 * j + k]];
    for (int k = 0; k < 3; ++k)  // each group's size becomes its end
        for (std::int64_t v = k * g.span, end = 0; v < (k + 1) * g.span; ++v) {
            g.biggest = std::max(g.biggest, g.start[v]);
            g.start[v] = static_cast<std::int32_t>(end += g.start[v]);
        }
    // Backwards, so that each group comes out in table order and its end
    // moves back to its start.
    for (std::int64_t j = g.faceCount - 1; j >= 0; --j)
        for (int k = 0; k < 3; ++k)
            g.face[k * g.faceCount + --g.start[k * g.span + corners[3 * j + k]]] = static_cast<std::int32_t>(j);
    return true;
}

struct Pass {
    Face* faces;
    const std::int32_t* corners;
    const Groups& groups;
    AddStretch addToMany;
    std::uint8_t* left;  // bit k of left[j]: the group of corner k of face j starts there and waits for a later pass
};

// Corner k of every face of the group, on up to `threads` threads, copying
// out `capacity` normals at a time into `room`; the corner normals hold the
// running sums from one stretch to the next.
void sumGroup(const Pass& p, Group g, int k, double* room, std::int64_t capacity, int threads) {
    constexpr std::int32_t run = 64;  // corners per task
    Stretch s{p.faces, k, room, 0, {-0.0, -0.0, -0.0}, false};
    for (std::int32_t next = 0; next < g.size;) {
        std::int64_t length = 0;
        for (; next < g.size && length < capacity; ++next) {
            const double* n = p.faces[g.face[next]].faceNormal;
            if (n[0] == 0 && n[1] == 0 && n[2] == 0) {
                for (int c = 0; c < 3; ++c) s.zeros[c] += n[c];
                continue;
            }
            for (int c = 0; c < 3; ++c) room[3 * length + c] = n[c];
            ++length;
        }
        s.length = length;
        s.last = next == g.size;
        if (g.size <= fewFaces) addStretchWith<double, 1>(s, g.face, g.size);
        else
            shareOut(threadsFor(g.size * length, additionsPerExtraThread, threads), (g.size + run - 1) / run,
                     [&](std::int64_t r) {
                         const auto first = static_cast<std::int32_t>(r * run);
                         p.addToMany(s, g.face + first, std::min(run, g.size - first));
                     });
    }
}

// The groups that start at faces [first, last), with the faces below `high`
// filled: those that lie within them are summed, the others left for later.
void sumStartingGroups(const Pass& p, std::int32_t first, std::int32_t last, std::int32_t high) {
    double room[3 * smallStretch];
    for (std::int32_t j = first; j < last; ++j) {
        std::uint8_t left = 0;
        for (int k = 0; k < 3; ++k) {
            const Group g = groupOf(p.groups, k, p.corners[3 * std::int64_t{j} + k]);
            if (g.face[0] != j) continue;
            if (g.face[g.size - 1] < high) sumGroup(p, g, k, room, smallStretch, 1);
            else
                left |= 1 << k;
        }
        p.left[j] = left;
    }
}

// The groups left for later, once every face is filled, in table order; a
// group of thousands gets threads of its own.
void sumLeftGroups(const Pass& p, std::int32_t faceCount, double* room, std::int64_t capacity, int threads) {
    for (std::int32_t j = 0; j < faceCount; ++j)
        for (int k = 0; k < 3; ++k)
            if (p.left[j] >> k & 1)
                sumGroup(p, groupOf(p.groups, k, p.corners[3 * std::int64_t{j} + k]), k, room, capacity, threads);
}

void fillFaces(Face* faces, const Vertex* vertices, const std::int32_t* corners, std::int32_t first,
               std::int32_t last) {
    populateForWriting(faces + first, sizeof(Face) * static_cast<std::size_t>(last - first));
    for (std::int32_t j = first; j < last; ++j) {
        for (int k = 0; k < 3; ++k) {
            faces[j].vertexIndex[k] = corners[3 * std::int64_t{j} + k];
            faces[j].cornerPosition[k] = vertices[faces[j].vertexIndex[k]];
        }
        computeFaceNormal(faces[j]);
    }
}

// fillFaceTable, or with no vertices the corner normals alone. Gets all its
// memory first: false, with nothing written, when it cannot.
bool fillAndSmooth(Face* faces, std::int32_t faceCount, const Vertex* vertices, const std::int32_t* corners,
                   std::int32_t vertexSpan, int threads) {
    if (faceCount <= 0) return true;
    Groups groups;
    Table<std::uint8_t> left = allocateTable<std::uint8_t>(faceCount);
    if (!left || !sortCorners(corners, faceCount, vertexSpan, groups)) return false;
    const std::int64_t capacity = std::min<std::int64_t>(bigStretch, groups.biggest);
    Table<double> room = allocateTable<double>(3 * capacity);
    if (!room) return false;
    const Pass p{faces, corners, groups, pickAddToMany(), left.get()};
    const int workers = threadsFor(faceCount, facesPerExtraThread, threads);

    // Chunks of faces, taken by whichever thread is free, each filled block
    // by block; a group that reaches out of its chunk waits for a later pass.
    const std::int64_t chunks = (faceCount + chunkFaces - 1) / chunkFaces;
    auto chunkStart = [faceCount](std::int64_t c) {
        return static_cast<std::int32_t>(std::min<std::int64_t>(faceCount, c * chunkFaces));
    };
    shareOut(workers, chunks, [&](std::int64_t c) {
        const std::int32_t first = chunkStart(c), last = chunkStart(c + 1);
        std::int32_t summed = first;
        for (std::int32_t start = first; start < last; start += blockFaces) {
            const std::int32_t end = std::min(last, start + blockFaces);
            if (vertices) fillFaces(faces, vertices, corners, start, end);
            if (start == first) continue;
            sumStartingGroups(p, summed, start, end);
            summed = start;
        }
        sumStartingGroups(p, summed, last, last);
    });
    sumLeftGroups(p, faceCount, room.get(), capacity, threads);
    return true;
}

// The scan that defines the sums: quadratic, but it needs no memory.
void scanCornerNormals(Face* faces, std::int32_t faceCount) {
    for (std::int32_t f = 0; f < faceCount; ++f) {
        for (double* corner : faces[f].cornerNormal) std::copy_n(faces[f].faceNormal, 3, corner);
        for (std::int32_t g = 0; g < faceCount; ++g)
            for (int k = 0; k < 3; ++k)
                if (faces[g].vertexIndex[k] == faces[f].vertexIndex[k])
                    for (int c = 0; c < 3; ++c) faces[f].cornerNormal[k][c] += faces[g].faceNormal[c];
        for (double* corner : faces[f].cornerNormal) normalize(corner);
    }
}

}  // namespace

void limitVectorWidth(int doubles) { widestAllowed.store(doubles, std::memory_order_relaxed); }

void smoothCornerNormals(Face* faces, std::int32_t faceCount) {
    Table<std::int32_t> corners = allocateTable<std::int32_t>(3 * std::int64_t{faceCount});
    std::int32_t lowest = 0, highest = 0;
    for (std::int64_t c = 0; corners && c < 3 * std::int64_t{faceCount}; ++c) {
        corners[c] = faces[c / 3].vertexIndex[c % 3];
        lowest = std::min(lowest, corners[c]);
        highest = std::max(highest, corners[c]);
    }
    // Indices the index cannot hold, or no memory for it: the scan.
    if (!corners || lowest < 0 || highest == INT32_MAX ||
        !fillAndSmooth(faces, faceCount, nullptr, corners.get(), highest + 1, availableThreads()))
        scanCornerNormals(faces, faceCount);
}

bool smoothCornerNormals(Face* faces, std::int32_t faceCount, const std::int32_t* corners, std::int32_t vertexSpan,
                         int threads) {
    return fillAndSmooth(faces, faceCount, nullptr, corners, vertexSpan, threads);
}

bool fillFaceTable(Face* faces, std::int32_t faceCount, const Vertex* vertices, const std::int32_t* corners,
                   std::int32_t vertexCount, int threads) {
    return fillAndSmooth(faces, faceCount, vertices, corners, vertexCount, threads);
}
