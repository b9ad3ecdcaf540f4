// Monotone decomposition by a sweep (the helper rule of de Berg et al.,
// Computational Geometry, chapter 3), then the two-chain cut of each piece.
//
// The sweep runs from the highest point down; points on one level line are
// taken from left to right, as if the plane were turned by a hair, so no two
// points are ever level. Every vertex gets a kind from its two neighbours:
// a start (both below, convex), a split (both below, reflex), an end (both
// above, convex), a merge (both above, reflex), or a side vertex (one above,
// one below). A polygon is monotone when it has no split and no merge; the
// sweep joins each split to a vertex above it and each merge to one below it
// by a diagonal that stays inside, which cuts the polygon into monotone
// pieces. Anything the rules do not expect (no edge to the left of a split,
// a piece that is not monotone, a diagonal outside its corner) means the
// polygon was not simple, and the function says so instead of guessing.
#include "geometry/sweep_triangulate.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <set>
#include <utility>

namespace {

enum class Kind : std::uint8_t { start, end, split, merge, downSide, upSide };

constexpr double pi = 3.14159265358979323846;

struct Polygon {
    const std::vector<PlanePoint>& p;
    std::uint32_t n;

    std::uint32_t next(std::uint32_t i) const { return i + 1 == n ? 0 : i + 1; }
    std::uint32_t prev(std::uint32_t i) const { return i == 0 ? n - 1 : i - 1; }

    // The sweep's order: higher first; on one level, further left first;
    // at one point (never two neighbours), the lower index first.
    bool above(std::uint32_t i, std::uint32_t j) const {
        const PlanePoint a = p[i], b = p[j];
        if (a.v != b.v) return a.v > b.v;
        if (a.u != b.u) return a.u < b.u;
        return i < j;
    }
};

// The sweep line's position is the event point `at`. Edge e runs from vertex
// e down to vertex e + 1 (only edges that run down are ever in the tree).
struct SweepKey {
    double u;
};

// An edge in the sweep's tree, its ends copied in so that comparisons do
// not go back to the points: from vertex `index` (above) to the next (below).
struct Edge {
    PlanePoint a, b;
    std::uint32_t index;
};

struct Sweep {
    PlanePoint at{};

    // Where edge e crosses the sweep line. A level edge (turned by a hair,
    // it falls to the right) is met at the event point itself.
    double edgeU(const Edge& e) const {
        if (e.a.v == e.b.v) return std::clamp(at.u, e.a.u, e.b.u);
        if (at.v == e.a.v) return e.a.u;
        if (at.v == e.b.v) return e.b.u;
        return e.a.u + (e.b.u - e.a.u) * ((at.v - e.a.v) / (e.b.v - e.a.v));
    }
};

struct EdgeOrder {
    using is_transparent = void;
    const Sweep* sweep;
    bool operator()(const Edge& a, const Edge& b) const {
        const double ua = sweep->edgeU(a), ub = sweep->edgeU(b);
        return ua < ub || (ua == ub && a.index < b.index);
    }
    bool operator()(const Edge& a, SweepKey k) const { return sweep->edgeU(a) < k.u; }
    bool operator()(SweepKey k, const Edge& b) const { return k.u < sweep->edgeU(b); }
};

bool classify(const Polygon& polygon, std::vector<Kind>& kind) {
    kind.resize(polygon.n);
    for (std::uint32_t i = 0; i < polygon.n; ++i) {
        const std::uint32_t a = polygon.prev(i), b = polygon.next(i);
        const bool prevBelow = polygon.above(i, a), nextBelow = polygon.above(i, b);
        const double turn = cross(polygon.p[a], polygon.p[i], polygon.p[b]);
        if (prevBelow == nextBelow) {
            if (!(turn != 0)) return false;  // an edge doubling back on itself (or NaN)
            kind[i] = prevBelow ? (turn > 0 ? Kind::start : Kind::split) : (turn > 0 ? Kind::end : Kind::merge);
        } else {
            kind[i] = nextBelow ? Kind::downSide : Kind::upSide;
        }
    }
    return true;
}

using Diagonal = std::pair<std::uint32_t, std::uint32_t>;

// The sweep proper: the diagonals that cut the polygon into monotone pieces.
bool findDiagonals(const Polygon& polygon, const std::vector<Kind>& kind, std::vector<Diagonal>& diagonals) {
    const std::uint32_t n = polygon.n;
    // Sorted as records of their own, without going back to the points for
    // every comparison: the same order as Polygon::above.
    struct Event {
        double v, u;
        std::uint32_t vertex;
    };
    std::vector<Event> events(n);
    for (std::uint32_t i = 0; i < n; ++i) events[i] = {polygon.p[i].v, polygon.p[i].u, i};
    std::sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
        if (a.v != b.v) return a.v > b.v;
        if (a.u != b.u) return a.u < b.u;
        return a.vertex < b.vertex;
    });

    Sweep sweep;
    std::set<Edge, EdgeOrder> tree(EdgeOrder{&sweep});
    std::vector<std::set<Edge, EdgeOrder>::iterator> where(n, tree.end());
    // The helper of an edge: the lowest vertex seen so far between it and
    // the next edge to its right.
    std::vector<std::uint32_t> helper(n, 0);

    auto insert = [&](std::uint32_t e) {
        where[e] = tree.insert({polygon.p[e], polygon.p[polygon.next(e)], e}).first;
        helper[e] = e;
    };
    // Ends edge e at vertex i; false when e is not in the tree.
    auto finish = [&](std::uint32_t e, std::uint32_t i) {
        if (where[e] == tree.end()) return false;
        if (kind[helper[e]] == Kind::merge) diagonals.emplace_back(i, helper[e]);
        tree.erase(where[e]);
        where[e] = tree.end();
        return true;
    };
    // The edge directly to the left of vertex i, which becomes i's to help.
    auto helpLeft = [&](std::uint32_t i, bool evenFromSplit) {
        const auto it = tree.upper_bound(SweepKey{sweep.at.u});
        if (it == tree.begin()) return false;
        const std::uint32_t j = std::prev(it)->index;
        if (evenFromSplit || kind[helper[j]] == Kind::merge) diagonals.emplace_back(i, helper[j]);
        helper[j] = i;
        return true;
    };

    for (const Event& event : events) {
        const std::uint32_t i = event.vertex;
        sweep.at = polygon.p[i];
        const std::uint32_t incoming = polygon.prev(i);
        switch (kind[i]) {
            case Kind::start: insert(i); break;
            case Kind::end:
                if (!finish(incoming, i)) return false;
                break;
            case Kind::split:
                if (!helpLeft(i, true)) return false;
                insert(i);
                break;
            case Kind::merge:
                if (!finish(incoming, i) || !helpLeft(i, false)) return false;
                break;
            case Kind::downSide:
                if (!finish(incoming, i)) return false;
                insert(i);
                break;
            case Kind::upSide:
                if (!helpLeft(i, false)) return false;
                break;
        }
    }
    return tree.empty();
}

// The polygon's edges and both sides of every diagonal, as half-edges:
// 0 .. n-1 run from vertex h to h + 1; n + 2k and n + 2k + 1 are diagonal k
// one way and the other. Around each vertex, the half-edges that leave it
// are kept in anticlockwise order starting from the polygon's own edge, so
// that the pieces can be walked with the inside on the left.
struct Pieces {
    std::vector<std::uint32_t> first;    // vertex v's half-edges out are out[first[v] .. first[v + 1])
    std::vector<std::uint32_t> out;      //
    std::vector<std::uint32_t> placeOf;  // a diagonal half-edge's place among those of its vertex
};

// Where half-edge h starts, and where it ends.
std::uint32_t originOf(const Polygon& polygon, const std::vector<Diagonal>& diagonals, std::uint32_t h) {
    if (h < polygon.n) return h;
    const Diagonal& d = diagonals[(h - polygon.n) / 2];
    return (h - polygon.n) % 2 ? d.second : d.first;
}

std::uint32_t targetOf(const Polygon& polygon, const std::vector<Diagonal>& diagonals, std::uint32_t h) {
    if (h < polygon.n) return polygon.next(h);
    const Diagonal& d = diagonals[(h - polygon.n) / 2];
    return (h - polygon.n) % 2 ? d.first : d.second;
}

bool orderAroundVertices(const Polygon& polygon, const std::vector<Diagonal>& diagonals, Pieces& pieces) {
    const std::uint32_t n = polygon.n;
    const auto halfEdges = static_cast<std::uint32_t>(n + 2 * diagonals.size());
    pieces.first.assign(n + 1, 0);
    for (std::uint32_t v = 0; v < n; ++v) pieces.first[v + 1] = 1;
    for (const auto& [a, b] : diagonals) ++pieces.first[a + 1], ++pieces.first[b + 1];
    for (std::uint32_t v = 0; v < n; ++v) pieces.first[v + 1] += pieces.first[v];
    pieces.out.assign(halfEdges, 0);
    pieces.placeOf.assign(halfEdges, 0);
    std::vector<std::uint32_t> fill(pieces.first.begin(), pieces.first.end() - 1);
    for (std::uint32_t v = 0; v < n; ++v) pieces.out[fill[v]++] = v;
    for (std::uint32_t k = 0; k < diagonals.size(); ++k) {
        pieces.out[fill[diagonals[k].first]++] = n + 2 * k;
        pieces.out[fill[diagonals[k].second]++] = n + 2 * k + 1;
    }
    std::vector<std::pair<double, std::uint32_t>> around;
    for (std::uint32_t v = 0; v < n; ++v) {
        const std::uint32_t begin = pieces.first[v], end = pieces.first[v + 1];
        if (end - begin == 1) continue;
        // Angles anticlockwise from the polygon's edge out of v; every
        // diagonal must lie strictly inside the corner, before the edge in.
        const PlanePoint o = polygon.p[v], e = polygon.p[polygon.next(v)];
        const double eu = e.u - o.u, ev = e.v - o.v;
        auto angle = [&](std::uint32_t w) {
            const double wu = polygon.p[w].u - o.u, wv = polygon.p[w].v - o.v;
            const double a = std::atan2(eu * wv - ev * wu, eu * wu + ev * wv);
            return a < 0 ? a + 2 * pi : a;
        };
        const double corner = angle(polygon.prev(v));
        around.clear();
        for (std::uint32_t k = begin + 1; k < end; ++k) {
            const double a = angle(targetOf(polygon, diagonals, pieces.out[k]));
            if (!(a > 0 && a < corner)) return false;
            around.emplace_back(a, pieces.out[k]);
        }
        std::sort(around.begin(), around.end());
        for (std::uint32_t k = begin + 1; k < end; ++k) {
            pieces.out[k] = around[k - begin - 1].second;
            pieces.placeOf[pieces.out[k]] = k - begin;
        }
    }
    return true;
}

// Cuts one monotone piece (its vertices anticlockwise) with a stack: the
// vertices are taken from top to bottom, and every vertex cuts off what it
// can see of the chain of reflex vertices above it.
bool cutMonotone(const Polygon& polygon, const std::vector<std::uint32_t>& piece,
                 std::vector<LocalTriangle>& triangles) {
    const std::size_t m = piece.size();
    std::size_t top = 0, bottom = 0;
    for (std::size_t k = 1; k < m; ++k) {
        if (polygon.above(piece[k], piece[top])) top = k;
        if (polygon.above(piece[bottom], piece[k])) bottom = k;
    }
    struct Tagged {
        std::uint32_t vertex;
        bool left;  // on the chain that runs down from the top, anticlockwise
    };
    // Both chains from the top down, merged into one order.
    std::vector<Tagged> sorted;
    sorted.reserve(m);
    sorted.push_back({piece[top], true});
    std::size_t l = (top + 1) % m, r = (top + m - 1) % m;
    std::uint32_t lastLeft = piece[top], lastRight = piece[top];
    while (sorted.size() < m) {
        const bool takeLeft = l != bottom && (r == bottom || polygon.above(piece[l], piece[r]));
        const bool lastOne = l == bottom && r == bottom;
        const std::size_t k = lastOne || takeLeft ? l : r;
        std::uint32_t& last = lastOne || takeLeft ? lastLeft : lastRight;
        if (!polygon.above(last, piece[k])) return false;  // not monotone
        if (lastOne && !polygon.above(lastRight, piece[k])) return false;
        last = piece[k];
        sorted.push_back({piece[k], takeLeft || lastOne});
        if (lastOne) break;
        if (takeLeft) l = (l + 1) % m;
        else
            r = (r + m - 1) % m;
    }
    if (sorted.size() != m) return false;

    auto emit = [&](std::uint32_t a, std::uint32_t b, std::uint32_t c) {
        LocalTriangle t{a, b, c};
        std::sort(t.begin(), t.end());
        triangles.push_back(t);
    };
    // Whether the diagonal from `at` to `beyond` passes inside, past `middle`.
    auto sees = [&](const Tagged& at, const Tagged& middle, const Tagged& beyond) {
        const PlanePoint a = polygon.p[at.vertex], b = polygon.p[middle.vertex], c = polygon.p[beyond.vertex];
        return at.left ? cross(c, b, a) > 0 : cross(a, b, c) > 0;
    };
    std::vector<Tagged> stack{sorted[0], sorted[1]};
    for (std::size_t j = 2; j + 1 < m; ++j) {
        const Tagged u = sorted[j];
        if (u.left != stack.back().left) {
            while (stack.size() > 1) {
                const Tagged t = stack.back();
                stack.pop_back();
                emit(u.vertex, t.vertex, stack.back().vertex);
            }
            stack = {sorted[j - 1], u};
        } else {
            Tagged last = stack.back();
            stack.pop_back();
            while (!stack.empty() && sees(u, last, stack.back())) {
                emit(u.vertex, last.vertex, stack.back().vertex);
                last = stack.back();
                stack.pop_back();
            }
            stack.push_back(last);
            stack.push_back(u);
        }
    }
    for (std::size_t k = stack.size() - 1; k >= 1; --k)
        emit(sorted[m - 1].vertex, stack[k].vertex, stack[k - 1].vertex);
    return true;
}

bool cutPieces(const Polygon& polygon, const std::vector<Diagonal>& diagonals, const Pieces& pieces,
               std::vector<LocalTriangle>& triangles) {
    const std::uint32_t n = polygon.n;
    const auto halfEdges = static_cast<std::uint32_t>(pieces.out.size());
    // Arriving at v by half-edge h, the piece on h's left goes on by the
    // half-edge just before h's twin in v's anticlockwise order (the polygon's
    // edge into v stands for the last place).
    auto nextInPiece = [&](std::uint32_t h) {
        const std::uint32_t v = targetOf(polygon, diagonals, h);
        const std::uint32_t begin = pieces.first[v], end = pieces.first[v + 1];
        if (h < n) return pieces.out[end - 1];
        const std::uint32_t twin = n + ((h - n) ^ 1U);
        return pieces.out[begin + pieces.placeOf[twin] - 1];
    };
    std::vector<bool> walked(halfEdges, false);
    std::vector<std::uint32_t> piece;
    std::size_t pieceCount = 0;
    for (std::uint32_t start = 0; start < halfEdges; ++start) {
        if (walked[start]) continue;
        piece.clear();
        std::uint32_t h = start;
        do {
            if (walked[h] || piece.size() == n) return false;
            walked[h] = true;
            piece.push_back(originOf(polygon, diagonals, h));
            h = nextInPiece(h);
        } while (h != start);
        if (piece.size() < 3 || !cutMonotone(polygon, piece, triangles)) return false;
        ++pieceCount;
    }
    return pieceCount == diagonals.size() + 1;
}

// The check before the triangles are handed back: n - 2 of them, none
// turning clockwise, and their areas adding up to the polygon's, to within
// what rounding can explain.
bool coversExactly(const Polygon& polygon, const LocalTriangle* begin, const LocalTriangle* end) {
    if (static_cast<std::size_t>(end - begin) != polygon.n - 2) return false;
    const PlanePoint o = polygon.p[0];
    double twiceArea = 0, scale = 0;
    for (std::uint32_t i = 0; i < polygon.n; ++i) {
        const PlanePoint a = polygon.p[i], b = polygon.p[polygon.next(i)];
        const double s = (a.u - o.u) * (b.v - o.v), t = (a.v - o.v) * (b.u - o.u);
        twiceArea += s - t;
        scale += std::fabs(s) + std::fabs(t);
    }
    double sum = 0;
    for (const LocalTriangle* t = begin; t != end; ++t) {
        const PlanePoint a = polygon.p[(*t)[0]], b = polygon.p[(*t)[1]], c = polygon.p[(*t)[2]];
        const double s = (b.u - a.u) * (c.v - a.v), r = (b.v - a.v) * (c.u - a.u);
        if (!(s - r >= 0)) return false;
        sum += s - r;
        scale += std::fabs(s) + std::fabs(r);
    }
    return std::fabs(sum - twiceArea) <= 1e-9 * scale;
}

}  // namespace

bool sweepTriangulate(const std::vector<PlanePoint>& points, std::vector<LocalTriangle>& triangles) {
    if (points.size() < 3 || points.size() > UINT32_MAX / 4) return false;
    for (const PlanePoint& q : points)
        if (!std::isfinite(q.u) || !std::isfinite(q.v)) return false;
    const Polygon polygon{points, static_cast<std::uint32_t>(points.size())};
    std::vector<Kind> kind;
    std::vector<Diagonal> diagonals;
    Pieces pieces;
    const std::size_t before = triangles.size();
    if (classify(polygon, kind) && findDiagonals(polygon, kind, diagonals) &&
        orderAroundVertices(polygon, diagonals, pieces) && cutPieces(polygon, diagonals, pieces, triangles) &&
        coversExactly(polygon, triangles.data() + before, triangles.data() + triangles.size()))
        return true;
    triangles.resize(before);
    return false;
}
