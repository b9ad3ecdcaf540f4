// The faces around each edge of a mesh, found without a hash table: the
// sides of faces are filed by their lower vertex in one counting pass, and
// each vertex's few are sorted by their other vertex, so that the sides on
// one edge lie together, a run.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

struct EdgeRuns {
    std::vector<std::uint32_t> start;  // vertex v's sides are sides[start[v] .. start[v + 1])
    std::vector<std::uint64_t> sides;  // the higher vertex in the upper 32 bits, the caller's tag in the lower
};

inline std::uint32_t tagOf(std::uint64_t side) { return static_cast<std::uint32_t>(side); }

// Calls forEachSide(emit) twice; it must call emit(from, to, tag) for the
// same sides of faces in the same order both times, `tag` being what the
// caller wants back about the side (say its corner, and which way it runs).
// Sides with from == to are left out. Vertices are 0 .. vertexCount - 1,
// fewer than 2^31, and there are fewer than 2^32 sides. Time and memory
// grow with the number of sides; a vertex that many edges share costs a
// sort of its sides, never a scan of all pairs.
template <class ForEachSide>
EdgeRuns fileSides(std::size_t vertexCount, const ForEachSide& forEachSide) {
    EdgeRuns runs;
    runs.start.assign(vertexCount + 1, 0);
    forEachSide([&](std::int32_t from, std::int32_t to, std::uint32_t) {
        if (from != to) ++runs.start[static_cast<std::size_t>(std::min(from, to)) + 1];
    });
    for (std::size_t v = 1; v <= vertexCount; ++v) runs.start[v] += runs.start[v - 1];
    runs.sides.resize(runs.start[vertexCount]);
    {
        std::vector<std::uint32_t> next(runs.start.begin(), runs.start.end() - 1);
        forEachSide([&](std::int32_t from, std::int32_t to, std::uint32_t tag) {
            if (from == to) return;
            const auto higher = static_cast<std::uint64_t>(std::max(from, to));
            runs.sides[next[static_cast<std::size_t>(std::min(from, to))]++] = higher << 32 | tag;
        });
    }
    for (std::size_t v = 0; v < vertexCount; ++v) {
        std::uint64_t* const first = runs.sides.data() + runs.start[v];
        std::uint64_t* const last = runs.sides.data() + runs.start[v + 1];
        if (last - first <= 16) {  // the usual few: an insertion sort without branches to mispredict
            for (std::uint64_t* i = first + 1; i < last; ++i)
                for (std::uint64_t* j = i; j > first; --j) {
                    const std::uint64_t low = std::min(j[-1], *j), high = std::max(j[-1], *j);
                    j[-1] = low;
                    *j = high;
                }
        } else {
            std::sort(first, last);
        }
    }
    return runs;
}

// Calls visit(run) for every edge, `run` (a std::span<const std::uint64_t>)
// holding the sides on it, in either direction.
template <class Visit>
void forEachEdge(const EdgeRuns& runs, const Visit& visit) {
    for (std::size_t v = 0; v + 1 < runs.start.size(); ++v) {
        const std::uint64_t* const last = runs.sides.data() + runs.start[v + 1];
        for (const std::uint64_t* run = runs.sides.data() + runs.start[v]; run != last;) {
            const std::uint64_t* next = run + 1;
            while (next != last && *next >> 32 == *run >> 32) ++next;
            visit(std::span<const std::uint64_t>(run, next));
            run = next;
        }
    }
}

// Calls compare(a, b) for the pairs of sides in `run` that are compared: all
// when there are up to eight, else each with the next, so that an edge that
// many faces share costs no more than its sides.
template <class Compare>
void forEachPair(std::span<const std::uint64_t> run, const Compare& compare) {
    for (std::size_t i = 0; i + 1 < run.size(); ++i)
        for (std::size_t j = i + 1; j < (run.size() <= 8 ? run.size() : i + 2); ++j) compare(run[i], run[j]);
}
