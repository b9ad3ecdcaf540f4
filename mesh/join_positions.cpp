#include "mesh/join_positions.h"

#include <algorithm>
#include <bit>
#include <utility>

namespace {

std::uint64_t bitsOf(double value) {
    return std::bit_cast<std::uint64_t>(value + 0.0);  // -0 + 0 is +0
}

// A multiply-and-fold mix of the three coordinates' bits, so that the many
// positions that differ in their last bits only spread over the table.
std::uint64_t hashOf(const Vertex& p) {
    constexpr std::uint64_t k = 0x9e3779b97f4a7c15U;
    std::uint64_t h = bitsOf(p.x) * k;
    h = (h ^ (h >> 29) ^ bitsOf(p.y)) * k;
    h = (h ^ (h >> 29) ^ bitsOf(p.z)) * k;
    return h ^ (h >> 32);
}

bool samePosition(const Vertex& a, const Vertex& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

void rehash(PositionIndex& index, std::size_t slotCount) {
    index.slots.assign(slotCount, 0);
    const std::size_t mask = slotCount - 1;
    for (std::size_t i = 0; i < index.positions.size(); ++i) {
        std::size_t s = hashOf(index.positions[i]) & mask;
        while (index.slots[s] != 0) s = (s + 1) & mask;
        index.slots[s] = static_cast<std::uint32_t>(i + 1);
    }
}

}  // namespace

void reservePositions(PositionIndex& index, std::size_t expected) {
    expected = std::min(expected, viewerCountLimit);
    index.positions.reserve(expected);
    std::size_t slotCount = 16;
    while (slotCount < 2 * expected) slotCount *= 2;
    if (slotCount > index.slots.size()) rehash(index, slotCount);
}

std::int32_t addPosition(PositionIndex& index, const Vertex& p) {
    if (2 * (index.positions.size() + 1) > index.slots.size())
        rehash(index, std::max<std::size_t>(16, 2 * index.slots.size()));
    const std::size_t mask = index.slots.size() - 1;
    std::size_t s = hashOf(p) & mask;
    while (index.slots[s] != 0) {
        const std::uint32_t found = index.slots[s] - 1;
        if (samePosition(index.positions[found], p)) return static_cast<std::int32_t>(found);
        s = (s + 1) & mask;
    }
    if (index.positions.size() == viewerCountLimit) return -1;
    index.positions.push_back(p);
    index.slots[s] = static_cast<std::uint32_t>(index.positions.size());
    return static_cast<std::int32_t>(index.positions.size() - 1);
}

void joinIdenticalPositions(PolygonMesh& mesh) {
    PositionIndex index;
    reservePositions(index, mesh.vertices.size());
    std::vector<std::int32_t> renumber(mesh.vertices.size());
    // Vertex numbers fit in 32 bits, so there are never too many to add.
    for (std::size_t v = 0; v < mesh.vertices.size(); ++v) renumber[v] = addPosition(index, mesh.vertices[v]);
    for (std::int32_t& c : mesh.corners) c = renumber[static_cast<std::size_t>(c)];
    mesh.vertices = std::move(index.positions);
}
