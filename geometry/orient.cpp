#include "geometry/orient.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

#include "geometry/edge_runs.h"
#include "geometry/safe_range.h"

namespace {

std::uint64_t mix(std::uint64_t h) {  // splitmix64's finaliser
    h ^= h >> 30;
    h *= 0xbf58476d1ce4e5b9ULL;
    h ^= h >> 27;
    h *= 0x94d049bb133111ebULL;
    return h ^ (h >> 31);
}

std::uint64_t hashOfPlace(const Vertex& p) {
    // + 0.0 makes -0 into 0, which is the same position.
    return mix(std::bit_cast<std::uint64_t>(p.x + 0.0) * 0x9e3779b97f4a7c15ULL +
               std::bit_cast<std::uint64_t>(p.y + 0.0) * 0xc2b2ae3d27d4eb4fULL +
               std::bit_cast<std::uint64_t>(p.z + 0.0));
}

// For every vertex, the first vertex at exactly the same position: files
// that give each face its own copies of its corners (STL, many OFF files)
// still describe one surface, and it is the surface that has an inside.
// Vertices are first dealt by their hash into groups of a few thousand, in
// order, and each group is joined in a table small enough to stay in the
// cache: one table for all would be read at random, a cache miss a vertex.
std::vector<std::int32_t> firstAtSamePlace(const std::vector<Vertex>& vertices) {
    const std::size_t n = vertices.size();
    int bits = 0;
    while (bits < 16 && (n >> bits) > 4096) ++bits;
    const auto groupOf = [bits](std::uint64_t h) { return bits == 0 ? 0 : static_cast<std::size_t>(h >> (64 - bits)); };
    std::vector<std::uint64_t> hash(n);
    std::vector<std::uint32_t> start((std::size_t{1} << bits) + 1, 0);
    for (std::size_t v = 0; v < n; ++v) {
        hash[v] = hashOfPlace(vertices[v]);
        ++start[groupOf(hash[v]) + 1];
    }
    for (std::size_t g = 1; g < start.size(); ++g) start[g] += start[g - 1];
    std::vector<std::uint32_t> dealt(n);
    {
        std::vector<std::uint32_t> next(start.begin(), start.end() - 1);
        for (std::size_t v = 0; v < n; ++v) dealt[next[groupOf(hash[v])]++] = static_cast<std::uint32_t>(v);
    }
    std::vector<std::int32_t> place(n);
    constexpr std::uint32_t empty = ~std::uint32_t{0};
    std::vector<std::uint32_t> table;  // a vertex in each slot, or empty
    for (std::size_t g = 0; g + 1 < start.size(); ++g) {
        std::size_t capacity = 2;
        while (capacity < std::size_t{2} * (start[g + 1] - start[g])) capacity *= 2;
        table.assign(capacity, empty);
        for (std::size_t i = start[g]; i < start[g + 1]; ++i) {
            const std::uint32_t v = dealt[i];
            const Vertex& p = vertices[v];
            for (std::size_t slot = hash[v] & (capacity - 1);; slot = (slot + 1) & (capacity - 1)) {
                const std::uint32_t seen = table[slot];
                if (seen == empty) {
                    table[slot] = v;
                    place[v] = static_cast<std::int32_t>(v);
                    break;
                }
                const Vertex& q = vertices[seen];
                if (hash[seen] == hash[v] && q.x == p.x && q.y == p.y && q.z == p.z) {
                    place[v] = static_cast<std::int32_t>(seen);
                    break;
                }
            }
        }
    }
    return place;
}

struct Faces {
    const PolygonMesh& mesh;
    const std::vector<std::int32_t>& place;

    std::size_t first(std::size_t f) const { return static_cast<std::size_t>(mesh.faceStart[f]); }
    std::size_t size(std::size_t f) const { return static_cast<std::size_t>(mesh.faceStart[f + 1]) - first(f); }
    std::int32_t placeOf(std::size_t f, std::size_t k) const {
        return place[static_cast<std::size_t>(mesh.corners[first(f) + k])];
    }
};

// A face's places read from its lowest one, in the direction of the lower
// neighbour: the same sequence for every listing of the same face, whichever
// corner it starts at and whichever way it winds. Not defined (lowest < 0)
// when the lowest place comes twice or both its neighbours are one place.
struct Reading {
    std::int32_t lowest = -1;
    std::uint32_t start = 0;
    bool backwards = false;
};

Reading readingOf(const Faces& faces, std::size_t f) {
    const std::size_t n = faces.size(f);
    Reading r;
    if (n < 3) return r;
    std::size_t at = 0;
    bool twice = false;
    for (std::size_t k = 1; k < n; ++k) {
        const std::int32_t p = faces.placeOf(f, k), low = faces.placeOf(f, at);
        if (p < low) at = k, twice = false;
        else if (p == low)
            twice = true;
    }
    const std::int32_t next = faces.placeOf(f, (at + 1) % n), previous = faces.placeOf(f, (at + n - 1) % n);
    if (twice || next == previous) return r;
    return {faces.placeOf(f, at), static_cast<std::uint32_t>(at), previous < next};
}

struct FaceReadings {
    const Faces& faces;
    const std::vector<Reading>& readings;

    std::int32_t at(std::size_t f, std::size_t k) const {
        const std::size_t n = faces.size(f);
        const Reading& r = readings[f];
        return faces.placeOf(f, r.backwards ? (r.start + n - k % n) % n : (r.start + k) % n);
    }
    // Orders faces by their reading; 0 when they name the same places.
    int compare(std::size_t f, std::size_t g) const {
        if (faces.size(f) != faces.size(g)) return faces.size(f) < faces.size(g) ? -1 : 1;
        for (std::size_t k = 1; k < faces.size(f); ++k)
            if (at(f, k) != at(g, k)) return at(f, k) < at(g, k) ? -1 : 1;
        return 0;
    }
};

constexpr std::uint32_t none = ~std::uint32_t{0};

// Step 1: faces that repeat an earlier one are marked in `merged`; twin[f],
// when there is one, is the first face merged into f in the opposite winding
// (left empty when no face has one).
void mergeRepeatedFaces(const Faces& faces, std::vector<bool>& merged, std::vector<std::uint32_t>& twin,
                        OrientationChanges& changes) {
    const std::size_t count = faces.mesh.faceCount();
    std::vector<Reading> readings(count);
    std::vector<std::uint32_t> start(faces.place.size() + 1, 0);
    for (std::size_t f = 0; f < count; ++f) {
        readings[f] = readingOf(faces, f);
        if (readings[f].lowest >= 0) ++start[static_cast<std::size_t>(readings[f].lowest) + 1];
    }
    for (std::size_t p = 1; p < start.size(); ++p) start[p] += start[p - 1];
    std::vector<std::uint32_t> filed(start.back());
    {
        std::vector<std::uint32_t> next(start.begin(), start.end() - 1);
        for (std::size_t f = 0; f < count; ++f)
            if (readings[f].lowest >= 0)
                filed[next[static_cast<std::size_t>(readings[f].lowest)]++] = static_cast<std::uint32_t>(f);
    }
    const FaceReadings read{faces, readings};
    for (std::size_t p = 0; p + 1 < start.size(); ++p) {
        if (start[p + 1] - start[p] < 2) continue;
        const auto first = filed.begin() + start[p], last = filed.begin() + start[p + 1];
        std::sort(first, last, [&](std::uint32_t f, std::uint32_t g) {
            const int order = read.compare(f, g);
            return order != 0 ? order < 0 : f < g;
        });
        for (auto kept = first; kept != last;) {
            auto same = kept + 1;
            for (; same != last && read.compare(*kept, *same) == 0; ++same) {
                merged[*same] = true;
                if (readings[*same].backwards == readings[*kept].backwards) {
                    ++changes.repeated;
                    continue;
                }
                ++changes.backToBack;
                if (twin.empty()) twin.assign(count, none);
                if (twin[*kept] == none) twin[*kept] = *same;
            }
            kept = same;
        }
    }
}

// Faces linked into parts, each with whether it must turn to agree with the
// part's first face (its root).
struct Parts {
    std::vector<std::uint32_t> parent;
    std::vector<std::uint8_t> turned;  // against parent, then, after rootOf, against the root

    explicit Parts(std::size_t count) : parent(count), turned(count, 0) {
        for (std::size_t f = 0; f < count; ++f) parent[f] = static_cast<std::uint32_t>(f);
    }

    std::uint32_t rootOf(std::uint32_t f) {
        std::uint32_t root = f;
        std::uint8_t turn = 0;
        while (parent[root] != root) turn ^= turned[root], root = parent[root];
        while (parent[f] != root && f != root) {  // every face on the way now points at the root
            const std::uint32_t up = parent[f];
            const std::uint8_t upTurn = turn ^ turned[f];
            parent[f] = root;
            turned[f] = turn;
            f = up;
            turn = upTurn;
        }
        return root;
    }

    // Links f and g, which must differ in turn when `differ`. False when they
    // are linked already the other way.
    bool link(std::uint32_t f, std::uint32_t g, bool differ) {
        const std::uint32_t rf = rootOf(f), rg = rootOf(g);
        const std::uint8_t between = turned[f] ^ turned[g] ^ static_cast<std::uint8_t>(differ);
        if (rf == rg) return between == 0;
        // The earlier face stays root, so a root is its part's first face.
        parent[std::max(rf, rg)] = std::min(rf, rg);
        turned[std::max(rf, rg)] = between;
        return true;
    }
};

// Six times the signed volume of the cone from `apex` to the face. The
// coordinates are scaled by `scale`, a power of two that brings the largest
// to about 1, before they are subtracted, so that no mesh overflows.
double sixVolume(const Faces& faces, std::size_t f, Vertex apex, double scale) {
    const std::vector<Vertex>& v = faces.mesh.vertices;
    const auto at = [&](std::size_t k) {
        const Vertex& p = v[static_cast<std::size_t>(faces.mesh.corners[faces.first(f) + k])];
        return Vertex{p.x * scale - apex.x * scale, p.y * scale - apex.y * scale, p.z * scale - apex.z * scale};
    };
    const Vertex a = at(0);
    double sum = 0;
    Vertex b = at(1);
    for (std::size_t k = 2; k < faces.size(f); ++k) {
        const Vertex c = at(k);
        sum += a.x * (b.y * c.z - b.z * c.y) + a.y * (b.z * c.x - b.x * c.z) + a.z * (b.x * c.y - b.y * c.x);
        b = c;
    }
    return sum;
}

struct PartSums {
    std::uint32_t keep = 0, turn = 0;  // faces that agree with the root as they are, and those that must turn
    double volume = 0, size = 0;       // six times the volume with the root as it is; the sum of its terms' sizes
    bool closed = true;
};

void rewrite(PolygonMesh& mesh, const std::vector<bool>& merged, const std::vector<bool>& turn,
             const std::vector<std::uint32_t>& twin) {
    std::vector<std::int64_t> faceStart{0};
    std::vector<std::int32_t> corners;
    faceStart.reserve(mesh.faceStart.size());
    corners.reserve(mesh.corners.size());
    for (std::size_t f = 0; f < mesh.faceCount(); ++f) {
        const auto first = mesh.corners.begin() + mesh.faceStart[f];
        const auto last = mesh.corners.begin() + mesh.faceStart[f + 1];
        if (merged[f]) {
            // left with no corners
        } else if (!turn[f]) {
            corners.insert(corners.end(), first, last);
        } else if (!twin.empty() && twin[f] != none) {
            corners.insert(corners.end(), mesh.corners.begin() + mesh.faceStart[twin[f]],
                           mesh.corners.begin() + mesh.faceStart[twin[f] + 1]);
        } else {
            corners.push_back(*first);
            corners.insert(corners.end(), std::make_reverse_iterator(last), std::make_reverse_iterator(first + 1));
        }
        faceStart.push_back(static_cast<std::int64_t>(corners.size()));
    }
    mesh.faceStart = std::move(faceStart);
    mesh.corners = std::move(corners);
}

}  // namespace

OrientationChanges orientOutward(PolygonMesh& mesh) {
    OrientationChanges changes;
    const std::size_t count = mesh.faceCount();
    // Sides are tagged with their corner and a bit in 32 bits: up to 2^31
    // corners, more than a file holds.
    if (mesh.corners.size() >= std::size_t{1} << 31) return changes;
    const std::vector<std::int32_t> place = firstAtSamePlace(mesh.vertices);
    const Faces faces{mesh, place};

    // Corners in faces: in a mesh of triangles alone, found by arithmetic.
    bool triangles = true;
    for (std::size_t f = 0; f < count && triangles; ++f) triangles = mesh.faceStart[f + 1] == 3 * std::int64_t(f + 1);
    std::vector<std::uint32_t> faceOfCorner(triangles ? 0 : mesh.corners.size());
    for (std::size_t f = 0, c = 0; f < faceOfCorner.size() && f < count; ++f)
        for (const auto last = static_cast<std::size_t>(mesh.faceStart[f + 1]); c < last; ++c)
            faceOfCorner[c] = static_cast<std::uint32_t>(f);
    const auto faceAt = [&](std::uint32_t c) { return triangles ? c / 3 : faceOfCorner[c]; };
    const auto next = [&](std::uint32_t c) {
        if (triangles) return c % 3 == 2 ? c - 2 : c + 1;
        const std::uint32_t f = faceOfCorner[c];
        return c + 1 == mesh.faceStart[f + 1] ? static_cast<std::uint32_t>(mesh.faceStart[f]) : c + 1;
    };
    const auto previous = [&](std::uint32_t c) {
        if (triangles) return c % 3 == 0 ? c + 2 : c - 1;
        const std::uint32_t f = faceOfCorner[c];
        return c == mesh.faceStart[f] ? static_cast<std::uint32_t>(mesh.faceStart[f + 1] - 1) : c - 1;
    };
    const auto placeAt = [&](std::uint32_t c) { return place[static_cast<std::size_t>(mesh.corners[c])]; };
    const auto cornerOf = [](std::uint64_t side) { return tagOf(side) >> 1; };
    const auto faceOf = [&](std::uint64_t side) { return faceAt(cornerOf(side)); };

    const EdgeRuns runs = fileSides(place.size(), [&](const auto& emit) {
        for (std::size_t f = 0; f < count; ++f) {
            const auto first = static_cast<std::uint32_t>(mesh.faceStart[f]);
            const auto last = static_cast<std::uint32_t>(mesh.faceStart[f + 1]);
            if (last - first < 3) continue;
            const std::int32_t start = placeAt(first);
            std::int32_t from = start;
            for (std::uint32_t c = first; c < last; ++c) {
                const std::int32_t to = c + 1 < last ? placeAt(c + 1) : start;
                emit(from, to, c << 1 | (from < to ? 1 : 0));
                from = to;
            }
        }
    });

    // Step 2, then step 1 when two faces on some edge go on to the same place
    // beyond it, as faces listed twice do (and step 2 again without them).
    // An edge with one face on each side links them; an edge with one face,
    // or more than two, leaves its faces' part open.
    std::vector<bool> merged(count, false);
    std::vector<std::uint32_t> twin;
    Parts parts(count);
    std::vector<bool> open(count, false);
    std::vector<std::uint32_t> disagreeing;  // faces whose link failed: their part cannot agree
    std::vector<std::uint64_t> left;         // a run without the sides of merged faces
    const auto link = [&](std::span<const std::uint64_t> run) {
        if (run.size() == 2 && faceOf(run[0]) != faceOf(run[1])) {
            const bool sameWay = (tagOf(run[0]) & 1) == (tagOf(run[1]) & 1);
            if (!parts.link(faceOf(run[0]), faceOf(run[1]), sameWay)) disagreeing.push_back(faceOf(run[0]));
        } else if (run.size() != 2) {
            for (std::uint64_t side : run) open[faceOf(side)] = true;
        }
    };
    bool maybeRepeated = false;
    forEachEdge(runs, [&](std::span<const std::uint64_t> run) {
        if (!maybeRepeated)
            forEachPair(run, [&](std::uint64_t sideA, std::uint64_t sideB) {
                const std::uint32_t a = cornerOf(sideA), b = cornerOf(sideB);
                if (faceAt(a) == faceAt(b) || (!triangles && faces.size(faceAt(a)) != faces.size(faceAt(b)))) return;
                const bool sameWay = placeAt(a) == placeAt(b);
                if (placeAt(next(next(a))) == placeAt(sameWay ? next(next(b)) : previous(b))) maybeRepeated = true;
            });
        link(run);
    });
    if (maybeRepeated) mergeRepeatedFaces(faces, merged, twin, changes);
    if (changes.backToBack + changes.repeated > 0) {
        parts = Parts(count);
        open.assign(count, false);
        disagreeing.clear();
        forEachEdge(runs, [&](std::span<const std::uint64_t> run) {
            left.clear();
            for (std::uint64_t side : run)
                if (!merged[faceOf(side)]) left.push_back(side);
            link(left);
        });
    }
    const auto skipped = [&](std::size_t f) { return merged[f] || faces.size(f) < 3; };

    // Step 3: each part's signed volume, with its root face as it is, from
    // the root's first corner (near the part, so that a part far from the
    // origin keeps its digits). Parts are numbered in the order of their
    // first faces.
    const double scale = unitScale(mesh.vertices);
    std::vector<std::uint32_t> partOfRoot(count, none);
    std::vector<PartSums> sums;
    for (std::size_t f = 0; f < count; ++f) {
        if (skipped(f)) continue;
        std::uint32_t& part = partOfRoot[parts.rootOf(static_cast<std::uint32_t>(f))];
        if (part == none) {
            part = static_cast<std::uint32_t>(sums.size());
            sums.emplace_back();
        }
        PartSums& sum = sums[part];
        const std::int32_t apex = mesh.corners[faces.first(parts.parent[f])];
        const double volume = sixVolume(faces, f, mesh.vertices[static_cast<std::size_t>(apex)], scale);
        sum.volume += parts.turned[f] ? -volume : volume;
        sum.size += std::fabs(volume);
        ++(parts.turned[f] ? sum.turn : sum.keep);
        if (open[f]) sum.closed = false;
    }
    for (std::uint32_t f : disagreeing) sums[partOfRoot[parts.rootOf(f)]].closed = false;

    // Whether each part's root turns: outward for a closed part whose volume
    // is clear of rounding, else as most of its faces are in the file.
    std::vector<bool> rootTurns(sums.size(), false);
    for (std::size_t p = 0; p < sums.size(); ++p) {
        const PartSums& sum = sums[p];
        const bool closed = sum.closed && std::isfinite(sum.volume) && std::fabs(sum.volume) > 1e-9 * sum.size;
        rootTurns[p] = closed ? sum.volume < 0 : sum.turn > sum.keep;
        const std::uint32_t turnedFaces = rootTurns[p] ? sum.keep : sum.turn;
        changes.facesMadeToAgree += std::min(sum.keep, sum.turn);
        if (closed) ++changes.closedParts;
        if (closed && 2 * std::size_t{turnedFaces} > std::size_t{sum.keep} + sum.turn) ++changes.partsTurned;
    }
    std::vector<bool> turn(count, false);
    bool anyTurn = false;
    for (std::size_t f = 0; f < count; ++f) {
        if (skipped(f)) continue;
        turn[f] = (parts.turned[f] != 0) != rootTurns[partOfRoot[parts.parent[f]]];
        anyTurn = anyTurn || turn[f];
    }
    if (anyTurn || changes.backToBack + changes.repeated > 0) rewrite(mesh, merged, turn, twin);
    return changes;
}

std::string describeChanges(const OrientationChanges& changes) {
    std::string text;
    const auto add = [&](std::size_t n, const std::string& what) {
        if (n > 0) text += (text.empty() ? "" : "; ") + what;
    };
    add(changes.partsTurned, "turned " + std::to_string(changes.partsTurned) + " of " +
                                 std::to_string(changes.closedParts) + " closed parts outward");
    add(changes.facesMadeToAgree,
        "made " + std::to_string(changes.facesMadeToAgree) + " faces agree with their neighbours");
    add(changes.backToBack, "merged " + std::to_string(changes.backToBack) + " back-to-back faces");
    add(changes.repeated, "merged " + std::to_string(changes.repeated) + " faces listed twice");
    return text;
}
