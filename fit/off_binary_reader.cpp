// One reading of binary OFF: a byte order and whether faces carry a colour
// count are given; off_reader.cpp tries the combinations.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "fit/off_common.h"

namespace {

struct BinaryReader {
    const unsigned char* data;
    std::size_t size;
    std::size_t at;
    bool bigEndian;
    bool colourCount;
    std::string_view path;
    long long headerLine;
    OffAttempt& attempt;
    // What is being read, for messages only: "counts", or "vertex"/"face"
    // with its index and count.
    const char* record = "counts";
    std::int64_t index = -1;
    std::int64_t count = 0;
};

// Built with append: GCC 12 at -O3 sees a false overlap (-Wrestrict) in a
// chain of string additions here.
bool fail(BinaryReader& r, std::size_t at, std::string_view expected, std::string_view found) {
    r.attempt.reached = at;
    std::string& m = r.attempt.error;
    m.assign(r.path);
    m += ':';
    m += std::to_string(r.headerLine);
    m += ": ";
    m += r.record;
    if (r.index >= 0) {
        m += ' ';
        m += std::to_string(r.index);
        m += " of ";
        m += std::to_string(r.count);
    }
    m += r.bigEndian ? " (big" : " (little";
    m += "-endian binary, byte ";
    m += std::to_string(at);
    m += "): expected ";
    m += expected;
    m += ", found ";
    m += found;
    return false;
}

std::uint32_t word(const BinaryReader& r, std::size_t at) {
    std::uint32_t w = 0;
    std::memcpy(&w, r.data + at, 4);
    const bool swap = r.bigEndian != (std::endian::native == std::endian::big);
    return swap ? __builtin_bswap32(w) : w;
}

bool readInt(BinaryReader& r, std::string_view expected, std::int32_t& value) {
    if (r.size - r.at < 4) return fail(r, r.at, expected, "end of file");
    value = static_cast<std::int32_t>(word(r, r.at));
    r.at += 4;
    return true;
}

bool readFloat(BinaryReader& r, double& value) {
    if (r.size - r.at < 4) return fail(r, r.at, "a float", "end of file");
    const auto f = std::bit_cast<float>(word(r, r.at));
    if (!std::isfinite(f)) return fail(r, r.at, "a finite float", quoteToken(std::to_string(f)));
    value = f;
    r.at += 4;
    return true;
}

bool readCount(BinaryReader& r, std::int32_t& count) {
    const std::size_t at = r.at;
    if (!readInt(r, "a count", count)) return false;
    if (count < 0) return fail(r, at, "a count in 0..2147483647", quoteToken(std::to_string(count)));
    return true;
}

}  // namespace

OffAttempt readOffBinary(std::string_view bytes, std::size_t dataStart, long long headerLine, const OffKeyword& keyword,
                         std::string_view path, bool bigEndian, bool colourCount, PolygonMesh& mesh) {
    OffAttempt attempt;
    BinaryReader r{reinterpret_cast<const unsigned char*>(bytes.data()),
                   bytes.size(),
                   dataStart,
                   bigEndian,
                   colourCount,
                   path,
                   headerLine,
                   attempt};
    if (keyword.dimension) {
        r.record = "dimension";
        const std::size_t at = r.at;
        std::int32_t dimension = 0;
        if (!readInt(r, "the dimension", dimension)) return attempt;
        if (dimension != 3) return fail(r, at, "3", quoteToken(std::to_string(dimension))), attempt;
    }
    r.record = "counts";
    std::int32_t vertexCount = 0, faceCount = 0, edgeCount = 0;
    const std::size_t countsAt = r.at;
    if (!readCount(r, vertexCount) || !readCount(r, faceCount) || !readInt(r, "an edge count", edgeCount))
        return attempt;
    if (faceCount == 0) return fail(r, countsAt + 4, "at least one face", "'0'"), attempt;  // a point set

    const int floatsPerVertex = keyword.coordinates() + keyword.extraValues();
    const std::uint64_t room = r.size - r.at;
    const std::uint64_t vertexBytes = std::uint64_t{4} * floatsPerVertex * static_cast<std::uint64_t>(vertexCount);
    const std::uint64_t faceBytes = (colourCount ? 8 : 4) * static_cast<std::uint64_t>(faceCount);
    if (vertexBytes + faceBytes > room)
        return fail(r, r.at,
                    "counts the " + std::to_string(room) + " bytes that follow can hold (" +
                        std::to_string(vertexBytes + faceBytes) + " needed at least)",
                    quoteToken(std::to_string(vertexCount) + " " + std::to_string(faceCount))),
               attempt;

    mesh.vertices.resize(static_cast<std::size_t>(vertexCount));
    for (std::int32_t i = 0; i < vertexCount; ++i) {
        r.record = "vertex";
        r.index = i;
        r.count = vertexCount;
        double value[4] = {0, 0, 0, 1};
        for (int c = 0; c < keyword.coordinates(); ++c)
            if (!readFloat(r, value[c])) return attempt;
        Vertex& v = mesh.vertices[static_cast<std::size_t>(i)];
        v = {value[0] / value[3], value[1] / value[3], value[2] / value[3]};
        if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z))
            return fail(r, r.at - 4, "a w that leaves the point finite", "'0'"), attempt;
        r.at += 4 * static_cast<std::size_t>(keyword.extraValues());  // room was checked above
    }

    mesh.faceStart.assign(1, 0);
    mesh.faceStart.reserve(static_cast<std::size_t>(faceCount) + 1);
    mesh.corners.clear();
    mesh.corners.reserve(3 * static_cast<std::size_t>(faceCount));
    const std::string indexRange = vertexCount == 0 ? std::string("a vertex index, but there are no vertices")
                                                    : "a vertex index in 0.." + std::to_string(vertexCount - 1);
    for (std::int32_t j = 0; j < faceCount; ++j) {
        r.record = "face";
        r.index = j;
        r.count = faceCount;
        const std::size_t at = r.at;
        std::int32_t cornerCount = 0;
        if (!readInt(r, "a corner count", cornerCount)) return attempt;
        if (cornerCount < 0)
            return fail(r, at, "a corner count in 0..2147483647", quoteToken(std::to_string(cornerCount))), attempt;
        for (std::int32_t k = 0; k < cornerCount; ++k) {
            const std::size_t indexAt = r.at;
            std::int32_t index = 0;
            if (!readInt(r, indexRange, index)) return attempt;
            if (index < 0 || index >= vertexCount)
                return fail(r, indexAt, indexRange, quoteToken(std::to_string(index))), attempt;
            mesh.corners.push_back(index);
        }
        mesh.faceStart.push_back(static_cast<std::int64_t>(mesh.corners.size()));
        if (colourCount) {
            const std::size_t colourAt = r.at;
            std::int32_t colours = 0;
            if (!readInt(r, "a colour count", colours)) return attempt;
            if (colours < 0 || colours > 4)
                return fail(r, colourAt, "a colour count in 0..4", quoteToken(std::to_string(colours))), attempt;
            if (r.size - r.at < 4 * static_cast<std::size_t>(colours))
                return fail(r, r.at, "a colour", "end of file"), attempt;
            r.at += 4 * static_cast<std::size_t>(colours);
        }
    }
    attempt.ok = true;
    attempt.reached = r.at;
    return attempt;
}
