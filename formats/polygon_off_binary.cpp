// One reading of binary OFF: a byte order and whether faces carry a colour
// count are given; polygon_off.cpp tries the combinations.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>

#include "formats/polygon_off_readings.h"
#include "mesh/off_cursor.h"
#include "mesh/quoted_token.h"

namespace {

struct BinaryReader {
    OffCursor c;  // c.p: the next word
    bool colourCount;
};

std::uint32_t decodeWord(const OffCursor& c, const char* at) {
    std::uint32_t w = 0;
    std::memcpy(&w, at, 4);
    const bool swap = c.binary->bigEndian != (std::endian::native == std::endian::big);
    return swap ? __builtin_bswap32(w) : w;
}

bool readWord(OffCursor& c, std::int32_t& value) {
    if (c.end - c.p < 4) return failAt(c, c.p, "an integer", "end of file");
    value = static_cast<std::int32_t>(decodeWord(c, c.p));
    c.p += 4;
    return true;
}

// An integer that must be 0 or more.
bool readCountWord(OffCursor& c, std::int32_t& count, const char*& at) {
    at = c.p;
    return readWord(c, count) && checkCount(c, at, count);
}

bool readFloat(OffCursor& c, double& value) {
    if (c.end - c.p < 4) return failAt(c, c.p, "a number", "end of file");
    const auto f = std::bit_cast<float>(decodeWord(c, c.p));
    if (!std::isfinite(f)) return failAt(c, c.p, "a finite number", quoteToken(std::to_string(f)));
    value = f;
    c.p += 4;
    return true;
}

bool readHeader(BinaryReader& r, const OffKeyword& keyword, OffCounts& counts) {
    OffCursor& c = r.c;
    if (keyword.dimension) {
        c.record = OffRecord::dimension;
        const char* at = c.p;
        std::int32_t dimension = 0;
        if (!readWord(c, dimension)) return false;
        if (dimension != 3)
            return failAt(c, at, "3 (only meshes in space are read)", quoteToken(std::to_string(dimension)));
    }
    c.record = OffRecord::vertexCount;
    if (!readCountWord(c, counts.vertexCount, counts.vertexCountAt)) return false;
    c.record = OffRecord::faceCount;
    if (!readCountWord(c, counts.faceCount, counts.faceCountAt)) return false;
    if (counts.faceCount == 0) return failAt(c, counts.faceCountAt, "at least one face", "'0'");  // a point set
    c.record = OffRecord::edgeCount;
    std::int32_t edgeCount = 0;
    if (!readWord(c, edgeCount)) return false;
    const unsigned floatsPerVertex = keyword.coordinates() + keyword.extraValues();
    return checkRoom(c, static_cast<std::uint64_t>(c.end - c.p), counts, 4 * floatsPerVertex, r.colourCount ? 8 : 4);
}

bool readVertices(OffCursor& c, const OffKeyword& keyword, std::int32_t vertexCount, std::vector<Vertex>& vertices) {
    c.record = OffRecord::vertex;
    c.count = vertexCount;
    vertices.resize(static_cast<std::size_t>(vertexCount));
    for (std::int32_t i = 0; i < vertexCount; ++i) {
        c.index = i;
        double value[4] = {0, 0, 0, 1};
        for (int k = 0; k < keyword.coordinates(); ++k)
            if (!readFloat(c, value[k])) return false;
        Vertex& v = vertices[static_cast<std::size_t>(i)];
        v = {value[0] / value[3], value[1] / value[3], value[2] / value[3]};
        if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z))
            return failAt(c, c.p - 4, "a w that leaves the point finite", "'0'");
        c.p += 4 * static_cast<std::size_t>(keyword.extraValues());  // the room was checked with the header
    }
    return true;
}

bool readFaces(BinaryReader& r, std::int32_t vertexCount, std::int32_t faceCount, PolygonMesh& mesh) {
    OffCursor& c = r.c;
    c.record = OffRecord::face;
    c.count = faceCount;
    mesh.faceStart.assign(1, 0);
    mesh.faceStart.reserve(static_cast<std::size_t>(faceCount) + 1);
    mesh.corners.clear();
    mesh.corners.reserve(3 * static_cast<std::size_t>(faceCount));
    for (std::int32_t j = 0; j < faceCount; ++j) {
        c.index = j;
        std::int32_t cornerCount = 0;
        const char* at = nullptr;
        if (!readCountWord(c, cornerCount, at)) return false;
        for (std::int32_t k = 0; k < cornerCount; ++k) {
            at = c.p;
            std::int32_t index = 0;
            if (!readWord(c, index) || !checkVertexIndex(c, at, vertexCount, index)) return false;
            mesh.corners.push_back(index);
        }
        mesh.faceStart.push_back(static_cast<std::int64_t>(mesh.corners.size()));
        if (!r.colourCount) continue;
        at = c.p;
        std::int32_t colours = 0;
        if (!readWord(c, colours)) return false;
        if (colours < 0 || colours > 4)
            return failAt(c, at, "a colour count in 0..4", quoteToken(std::to_string(colours)));
        const std::ptrdiff_t colourBytes = std::ptrdiff_t{4} * colours;
        if (c.end - c.p < colourBytes) return failAt(c, c.p, "a number", "end of file");
        c.p += colourBytes;
    }
    return true;
}

// Without colour counts every byte must be accounted for: a colour count of
// 0 read as a face without corners gives a mesh with faces missing.
bool readEnd(BinaryReader& r) {
    OffCursor& c = r.c;
    if (r.colourCount || c.p == c.end) return true;
    c.record = OffRecord::afterFaces;
    return failAt(c, c.p, "the end of the file", std::to_string(c.end - c.p) + " more bytes");
}

}  // namespace

OffAttempt readPolygonOffBinary(std::string_view bytes, std::size_t dataStart, long long headerLine,
                                const OffKeyword& keyword, std::string_view path, bool bigEndian, bool colourCount,
                                PolygonMesh& mesh) {
    OffAttempt attempt;
    const OffBinary binary{headerLine, bigEndian};
    const char* begin = bytes.data();
    BinaryReader r{{path, attempt.error, begin, begin + dataStart, begin + bytes.size()}, colourCount};
    r.c.binary = &binary;
    OffCounts counts;
    try {
        attempt.ok = readHeader(r, keyword, counts) && readVertices(r.c, keyword, counts.vertexCount, mesh.vertices) &&
                     readFaces(r, counts.vertexCount, counts.faceCount, mesh) && readEnd(r);
    } catch (const std::bad_alloc&) {
        mesh = PolygonMesh{};
        setOutOfMemory(attempt.error, path, counts.vertexCount, counts.faceCount);
        attempt.outOfMemory = true;
    }
    attempt.reached = static_cast<std::size_t>(r.c.p - begin);
    return attempt;
}
