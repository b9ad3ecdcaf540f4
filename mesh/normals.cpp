#include "mesh/normals.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <type_traits>
#include <vector>

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
// face pairs in table order; what follows must give the same bits, so every
// corner adds exactly the same normals in exactly the same order, only
// without looking at the faceCount x faceCount pairs that cannot match.
//
// The faces whose corner k names vertex v form the group (v, k). One pass
// backwards over the vertex indices chains every group's faces in table
// order. A group is summed when its first face comes up: its normals are
// loaded once, and each of its corners adds them, in table order, to its own
// seed.
//
// Those are the normals of other faces, and in a mesh of a million faces they
// are mostly far from cache unless they were just written. So when the load
// fills the face table, the groups that start in a block of faces are summed
// as soon as the next block is filled: a group that stays within a block or
// two (neighbouring faces are usually near each other in the file) finds its
// normals computed and still in cache. A group that reaches beyond the faces
// filled is left, and summed in a second pass once all are.
//
// In a big group every corner walks the same long chain, which costs m * m
// additions for m faces. Those groups are copied out into arrays, and a block
// of corners runs down the copy together: each corner still adds the stream
// in table order into its own accumulator, but one load of a normal feeds the
// whole block, and the compiler turns the block into vector additions, which
// round lane by lane exactly as scalar ones do.
//
// Every corner has one writer and reads only face normals, so the work is
// split between threads freely: by chunks of faces for the small groups, by
// runs of corners for the big ones. The faces a thread may read while it
// fills are those of its own chunk, so nothing it reads is being written by
// another.
namespace {

constexpr std::int32_t none = -1;

// From this size on a group goes the blocked way: walking a chain of m costs
// m * m scattered loads, the blocked way m loads and vector additions.
constexpr std::int32_t bigGroup = 8;

struct Group {
    std::int32_t first;  // first face of the group in table order, none when empty
    std::int32_t size;
};

struct Chains {
    Table<Group> group;        // group (v, k) at 3 * v + k
    Table<std::int32_t> next;  // the face after face j in its group (v, k) at 3 * j + k, or none
    bool anyBig[3] = {};       // whether slot k has a group of bigGroup faces or more
};

bool chainGroups(const std::int32_t* corners, std::int32_t faceCount, std::int32_t vertexSpan, Chains& c) {
    c.group = allocateWrittenTable<Group>(3 * std::int64_t{vertexSpan});
    c.next = allocateWrittenTable<std::int32_t>(3 * std::int64_t{faceCount});
    if (!c.group || !c.next) return false;
    std::fill_n(c.group.get(), 3 * std::int64_t{vertexSpan}, Group{none, 0});
    // Backwards, so that each face goes in front of the later ones.
    for (std::int32_t j = faceCount - 1; j >= 0; --j)
        for (int k = 0; k < 3; ++k) {
            const std::int32_t v = corners[3 * std::int64_t{j} + k];
            assert(v >= 0 && v < vertexSpan);
            Group& g = c.group[3 * std::int64_t{v} + k];
            c.next[3 * std::int64_t{j} + k] = g.first;
            g.first = j;
            if (++g.size == bigGroup) c.anyBig[k] = true;
        }
    return true;
}

struct Pass {
    Face* faces;
    std::int32_t faceCount;
    const std::int32_t* corners;
    const Chains& chains;
    std::uint8_t* left;  // bit k of left[j]: the group whose first face is j, in slot k, waits for the second pass
};

// The corners of the small group (v, k) whose first face is `first`, if
// every face of it lies below `high` (and so is filled); false, with nothing
// written, if one does not. Every corner adds the group's normals, in table
// order, to its own seed: each normal is loaded once for the whole group.
bool sumGroup(const Pass& p, std::int32_t first, int k, std::int32_t high) {
    std::int32_t member[bigGroup];
    int m = 0;
    for (std::int32_t j = first; j != none; j = p.chains.next[3 * std::int64_t{j} + k]) {
        if (j >= high) return false;
        member[m++] = j;
    }
    double nx[bigGroup], ny[bigGroup], nz[bigGroup];
    for (int i = 0; i < m; ++i) {
        const double* n = p.faces[member[i]].faceNormal;
        nx[i] = n[0];
        ny[i] = n[1];
        nz[i] = n[2];
    }
    for (int i = 0; i < m; ++i) {
        double* corner = p.faces[member[i]].cornerNormal[k];
        double x = corner[0], y = corner[1], z = corner[2];
        for (int q = 0; q < m; ++q) {
            x += nx[q];
            y += ny[q];
            z += nz[q];
        }
        corner[0] = x;
        corner[1] = y;
        corner[2] = z;
        normalize(corner);
    }
    return true;
}

// The small groups that start at faces [first, last), with faces [first,
// high) filled: a group is summed when its first face comes up, so a thread
// only ever writes corners of its own faces. Returns whether any group was
// left for the second pass.
bool sumGroups(const Pass& p, std::int32_t first, std::int32_t last, std::int32_t high) {
    bool anyLeft = false;
    for (std::int32_t j = first; j < last; ++j) {
        std::uint8_t left = 0;
        for (int k = 0; k < 3; ++k) {
            const Group& g = p.chains.group[3 * std::int64_t{p.corners[3 * std::int64_t{j} + k]} + k];
            if (g.first == j && g.size < bigGroup && !sumGroup(p, j, k, high)) left |= 1 << k;
        }
        p.left[j] = left;
        anyLeft |= left != 0;
    }
    return anyLeft;
}

// Groups whose first face is in [first, last) but which reach into another
// thread's faces: the second pass, once every face is filled.
void sumLeftGroups(const Pass& p, std::int32_t first, std::int32_t last) {
    for (std::int32_t j = first; j < last; ++j)
        for (int k = 0; k < 3; ++k)
            if (p.left[j] & (1 << k)) sumGroup(p, j, k, p.faceCount);
}

// A block of faces: about 370 KB of records, so that the block being filled
// and the one being summed stay in a core's second-level cache.
constexpr std::int32_t blockFaces = 2048;
// What a thread takes at a time: 32 blocks.
constexpr std::int64_t chunkFaces = std::int64_t{32} * blockFaces;

// Faces [first, last): filled block by block, the groups that start in a
// block summed once the block after it is filled.
template <class Fill>
bool fillAndSum(const Pass& p, std::int32_t first, std::int32_t last, const Fill& fill) {
    bool anyLeft = false;
    std::int32_t summed = first;
    for (std::int32_t start = first; start < last; start += blockFaces) {
        const std::int32_t end = std::min(last, start + blockFaces);
        fill(start, end);
        if (start > first) {
            anyLeft |= sumGroups(p, summed, start, end);
            summed = start;
        }
    }
    return sumGroups(p, summed, last, last) || anyLeft;
}

// The big groups of one slot are summed in batches: the normals of a few
// groups, copied out in table order (a stream), and the corners of those
// groups cut into runs that never cross a group. A run is one task; the
// threads share out a batch's runs. A group whose stream is longer than a
// batch holds is summed one stretch of stream at a time, each stretch a batch
// of its own, the corner normals holding the running sums in between.
constexpr std::int64_t streamCapacity = 1 << 15;  // 0.75 MB of normals: stays in cache while the runs go by
constexpr std::int32_t run = 64;

struct Run {
    std::int64_t faceAt;  // the run's corners belong to faces[batch.face[faceAt .. faceAt + count)]
    std::int32_t count;
    std::int64_t begin, end;  // the stretch of the batch's stream they add
    bool last;                // the stretch ends the group's stream: normalize
};

struct Batch {
    Table<double> x, y, z;           // the stream, at most streamCapacity long
    std::vector<std::int32_t> face;  // the faces of the batch's groups, group after group
    std::vector<Run> runs;
    std::int64_t streamUsed = 0;
    std::int64_t additions = 0;
};

// The corners of one run, a block at a time, each lane starting from what
// its corner normal holds (the seed, or the running sum of earlier
// stretches). The block is four vectors per coordinate, twelve registers,
// written with the compiler's vector types so that it stays in registers
// whatever the optimisation level. Lanes past the run's end start from zero
// and are thrown away.
template <class Vector>
[[gnu::always_inline]] inline void sumRunWith(Face* faces, int k, const Batch& batch, const Run& r) {
    constexpr int width = sizeof(Vector) / sizeof(double);
    for (std::int32_t done = 0; done < r.count; done += 4 * width) {
        Vector x[4] = {}, y[4] = {}, z[4] = {};
        for (int v = 0; v < 4; ++v)
            for (int i = 0; i < width; ++i) {
                const std::int32_t lane = done + v * width + i;
                const double* from = lane < r.count ? faces[batch.face[r.faceAt + lane]].cornerNormal[k] : nullptr;
                x[v][i] = from ? from[0] : 0.0;
                y[v][i] = from ? from[1] : 0.0;
                z[v][i] = from ? from[2] : 0.0;
            }
        for (std::int64_t q = r.begin; q < r.end; ++q) {
            const Vector nx = Vector{} + batch.x[q], ny = Vector{} + batch.y[q], nz = Vector{} + batch.z[q];
#pragma GCC unroll 4
            for (int v = 0; v < 4; ++v) {
                x[v] += nx;
                y[v] += ny;
                z[v] += nz;
            }
        }
        for (int v = 0; v < 4; ++v)
            for (int i = 0; i < width; ++i) {
                const std::int32_t lane = done + v * width + i;
                if (lane >= r.count) break;
                double* corner = faces[batch.face[r.faceAt + lane]].cornerNormal[k];
                corner[0] = x[v][i];
                corner[1] = y[v][i];
                corner[2] = z[v][i];
                if (r.last) normalize(corner);
            }
    }
}

using SumRun = void (*)(Face*, int, const Batch&, const Run&);

using Double8 = double __attribute__((vector_size(64)));
using Double4 = double __attribute__((vector_size(32)));
using Double2 = double __attribute__((vector_size(16)));

[[gnu::target("avx512f")]] void sumRunAvx512(Face* faces, int k, const Batch& batch, const Run& r) {
    sumRunWith<Double8>(faces, k, batch, r);
}
[[gnu::target("avx2")]] void sumRunAvx2(Face* faces, int k, const Batch& batch, const Run& r) {
    sumRunWith<Double4>(faces, k, batch, r);
}
void sumRunBaseline(Face* faces, int k, const Batch& batch, const Run& r) { sumRunWith<Double2>(faces, k, batch, r); }

std::atomic<int> widestVector{8};

SumRun pickSumRun() {
    __builtin_cpu_init();
    const int widest = widestVector.load(std::memory_order_relaxed);
    if (widest >= 8 && __builtin_cpu_supports("avx512f")) return sumRunAvx512;
    if (widest >= 4 && __builtin_cpu_supports("avx2")) return sumRunAvx2;
    return sumRunBaseline;
}

// Below these amounts a second thread costs more than it saves.
constexpr std::int64_t facesPerExtraThread = 50000;
constexpr std::int64_t additionsPerExtraThread = 20000000;

void sumBatch(Face* faces, int k, Batch& batch, int threads) {
    const SumRun sumRun = pickSumRun();
    std::atomic<std::size_t> next{0};
    runParts(threadsFor(batch.additions, additionsPerExtraThread, threads), [&](int) {
        for (std::size_t r = next++; r < batch.runs.size(); r = next++) sumRun(faces, k, batch, batch.runs[r]);
    });
    batch.runs.clear();
    batch.streamUsed = 0;
    batch.additions = 0;
}

// Queues the corners of a group whose faces are batch.face[faceAt ..
// faceAt + m), to add the stretch [begin, end) of the batch's stream.
void addRuns(Batch& batch, std::int64_t faceAt, std::int32_t m, std::int64_t begin, std::int64_t end, bool last) {
    for (std::int32_t first = 0; first < m; first += run)
        batch.runs.push_back({faceAt + first, std::min(run, m - first), begin, end, last});
    batch.additions += m * (end - begin);
}

void copyStream(const Face* faces, Batch& batch, const std::int32_t* groupFaces, std::int64_t count) {
    for (std::int64_t i = 0; i < count; ++i) {
        const double* n = faces[groupFaces[i]].faceNormal;
        batch.x[batch.streamUsed] = n[0];
        batch.y[batch.streamUsed] = n[1];
        batch.z[batch.streamUsed] = n[2];
        ++batch.streamUsed;
    }
}

bool sumBigGroups(Face* faces, std::int32_t vertexSpan, int k, const Chains& c, int threads) {
    if (!c.anyBig[k]) return true;
    // The stream never needs more room than the big groups hold together, so
    // a small mesh with one big group does not pay for the whole buffer.
    std::int64_t bigFaces = 0;
    for (std::int32_t v = 0; v < vertexSpan; ++v) {
        const std::int32_t size = c.group[3 * std::int64_t{v} + k].size;
        if (size >= bigGroup) bigFaces += size;
    }
    const std::int64_t capacity = std::min(streamCapacity, bigFaces);
    Batch batch;
    for (std::int32_t v = 0; v < vertexSpan; ++v) {
        const Group& g = c.group[3 * std::int64_t{v} + k];
        if (g.size < bigGroup) continue;
        if (!batch.x) {
            batch.x = allocateTable<double>(capacity);
            batch.y = allocateTable<double>(capacity);
            batch.z = allocateTable<double>(capacity);
            if (!batch.x || !batch.y || !batch.z) return false;
        }
        if (batch.streamUsed + g.size > capacity) {
            sumBatch(faces, k, batch, threads);
            batch.face.clear();
        }
        const auto faceAt = static_cast<std::int64_t>(batch.face.size());
        for (std::int32_t j = g.first; j != none; j = c.next[3 * std::int64_t{j} + k]) batch.face.push_back(j);
        const std::int32_t* groupFaces = batch.face.data() + faceAt;
        if (g.size <= capacity) {
            const std::int64_t begin = batch.streamUsed;
            copyStream(faces, batch, groupFaces, g.size);
            addRuns(batch, faceAt, g.size, begin, batch.streamUsed, true);
            continue;
        }
        for (std::int64_t stretch = 0; stretch < g.size; stretch += capacity) {
            const std::int64_t length = std::min<std::int64_t>(capacity, g.size - stretch);
            copyStream(faces, batch, groupFaces + stretch, length);
            addRuns(batch, faceAt, g.size, 0, length, stretch + length == g.size);
            sumBatch(faces, k, batch, threads);
        }
        batch.face.clear();
    }
    if (!batch.runs.empty()) sumBatch(faces, k, batch, threads);
    return true;
}

// Nothing to fill: the faces are complete but for their corner normals.
struct NoFill {
    void operator()(std::int32_t, std::int32_t) const {}
};

template <class Fill>
bool fillAndSmooth(Face* faces, std::int32_t faceCount, const std::int32_t* corners, std::int32_t vertexSpan,
                   int threads, const Fill& fill) {
    if (faceCount <= 0) return true;
    Chains chains;
    if (!chainGroups(corners, faceCount, vertexSpan, chains)) return false;
    Table<std::uint8_t> left = allocateWrittenTable<std::uint8_t>(faceCount);
    if (!left) return false;
    const Pass pass{faces, faceCount, corners, chains, left.get()};

    // Chunks of faces, taken by whichever thread is free; each chunk is its
    // own window, so a group that reaches out of its chunk waits for the
    // second pass.
    const int workers = threadsFor(faceCount, facesPerExtraThread, threads);
    const std::int64_t chunks = (std::int64_t{faceCount} + chunkFaces - 1) / chunkFaces;
    auto first = [faceCount](std::int64_t c) {
        return static_cast<std::int32_t>(std::min<std::int64_t>(faceCount, c * chunkFaces));
    };
    std::vector<char> anyLeft(static_cast<std::size_t>(chunks), 0);
    shareOut(workers, chunks, [&](std::int64_t c) {
        if constexpr (std::is_same_v<Fill, NoFill>) anyLeft[c] = sumGroups(pass, first(c), first(c + 1), faceCount);
        else
            anyLeft[c] = fillAndSum(pass, first(c), first(c + 1), fill);
    });
    if (std::find(anyLeft.begin(), anyLeft.end(), 1) != anyLeft.end())
        shareOut(workers, chunks, [&](std::int64_t c) {
            if (anyLeft[c]) sumLeftGroups(pass, first(c), first(c + 1));
        });

    for (int k = 0; k < 3; ++k)
        if (!sumBigGroups(faces, vertexSpan, k, chains, threads)) return false;
    return true;
}

}  // namespace

void limitVectorWidth(int doubles) { widestVector.store(doubles, std::memory_order_relaxed); }

void smoothCornerNormals(Face* faces, std::int32_t faceCount) {
    Table<std::int32_t> corners = allocateTable<std::int32_t>(3 * std::int64_t{faceCount});
    std::int32_t vertexSpan = 0;
    for (std::int32_t j = 0; corners && j < faceCount; ++j)
        for (int k = 0; k < 3; ++k) {
            corners[3 * std::int64_t{j} + k] = faces[j].vertexIndex[k];
            vertexSpan = std::max(vertexSpan, faces[j].vertexIndex[k] + 1);
        }
    if ((faceCount > 0 && !corners) ||
        !smoothCornerNormals(faces, faceCount, corners.get(), vertexSpan, availableThreads())) {
        std::fputs("smoothCornerNormals: not enough memory\n", stderr);
        std::abort();
    }
}

bool smoothCornerNormals(Face* faces, std::int32_t faceCount, const std::int32_t* corners, std::int32_t vertexSpan,
                         int threads) {
    return fillAndSmooth(faces, faceCount, corners, vertexSpan, threads, NoFill{});
}

bool fillFaceTable(Face* faces, std::int32_t faceCount, const Vertex* vertices, const std::int32_t* corners,
                   std::int32_t vertexCount, int threads) {
    return fillAndSmooth(faces, faceCount, corners, vertexCount, threads, [=](std::int32_t first, std::int32_t last) {
        populateForWriting(faces + first, sizeof(Face) * static_cast<std::size_t>(last - first));
        for (std::int32_t j = first; j < last; ++j) {
            Face& face = faces[j];
            for (int k = 0; k < 3; ++k) {
                const std::int32_t index = corners[3 * std::int64_t{j} + k];
                face.vertexIndex[k] = index;
                face.cornerPosition[k] = vertices[index];
            }
            computeFaceNormal(face);
        }
    });
}
