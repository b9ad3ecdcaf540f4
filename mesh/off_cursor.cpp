#include "mesh/off_cursor.h"

#include <algorithm>

#include "mesh/number_token.h"
#include "mesh/quoted_token.h"

namespace {

// Lines are counted only on the way to a message, so the readers themselves
// never look at line breaks.
long long lineOf(const OffCursor& c, const char* at) {
    if (c.binary) return c.binary->headerLine;
    if (at == c.end && at != c.begin && at[-1] == '\n') --at;
    return 1 + c.linesBefore + std::count(c.begin, at, '\n');
}

const char* recordName(OffRecord record) {
    switch (record) {
        case OffRecord::keyword: return "keyword";
        case OffRecord::dimension: return "dimension";
        case OffRecord::vertexCount: return "vertex count";
        case OffRecord::faceCount: return "face count";
        case OffRecord::edgeCount: return "edge count";
        case OffRecord::vertex: return "vertex";
        case OffRecord::face: return "face";
        case OffRecord::afterFaces: return "after the last face";
    }
    return "record";
}

std::string quoteValue(std::int64_t value) { return quoteToken(std::to_string(value)); }

bool failForIndex(OffCursor& c, const char* at, std::int32_t vertexCount, std::string_view found) {
    const std::string expected = vertexCount == 0 ? std::string("no face records in a mesh without vertices")
                                                  : "a vertex index in 0.." + std::to_string(vertexCount - 1);
    return failAt(c, at, expected, found);
}

}  // namespace

// Built with append: GCC 12 at -O3 sees false overlaps (-Wrestrict) in
// chains of string additions.
bool failAt(OffCursor& c, const char* at, std::string_view expected, std::string_view found) {
    std::string& m = c.error;
    m.assign(c.path).append(":").append(std::to_string(lineOf(c, at))).append(": ").append(recordName(c.record));
    if (c.record == OffRecord::vertex || c.record == OffRecord::face)
        m.append(" ").append(std::to_string(c.index)).append(" of ").append(std::to_string(c.count));
    if (c.binary)
        m.append(c.binary->bigEndian ? " (big" : " (little")
            .append("-endian binary, byte ")
            .append(std::to_string(at - c.begin))
            .append(")");
    m.append(": expected ").append(expected).append(", found ").append(found);
    c.p = std::max(c.p, at);
    return false;
}

bool takeInteger(OffCursor& c, std::string_view token, std::int32_t& value) {
    switch (parseIntToken(token.data(), token.data() + token.size(), value)) {
        case NumberStatus::ok: return true;
        case NumberStatus::outOfRange:
            return failAt(c, token.data(), "an integer in -2147483648..2147483647", quoteToken(token));
        case NumberStatus::notANumber: break;
    }
    return failAt(c, token.data(), "an integer", quoteToken(token));
}

bool takeCount(OffCursor& c, std::string_view token, std::int32_t& count) {
    if (!takeInteger(c, token, count)) return false;
    if (count >= 0) return true;
    return failAt(c, token.data(), "a count of 0 or more", quoteToken(token));
}

bool takeVertexIndex(OffCursor& c, std::string_view token, std::int32_t vertexCount, std::int32_t& index) {
    if (!takeInteger(c, token, index)) return false;
    return (index >= 0 && index < vertexCount) || failForIndex(c, token.data(), vertexCount, quoteToken(token));
}

bool takeNumber(OffCursor& c, std::string_view token, double& value) {
    if (parseDoubleToken(token.data(), token.data() + token.size(), value) == NumberStatus::ok) return true;
    return failAt(c, token.data(), "a number", quoteToken(token));
}

bool checkCount(OffCursor& c, const char* at, std::int32_t count) {
    return count >= 0 || failAt(c, at, "a count of 0 or more", quoteValue(count));
}

bool checkVertexIndex(OffCursor& c, const char* at, std::int32_t vertexCount, std::int32_t index) {
    return (index >= 0 && index < vertexCount) || failForIndex(c, at, vertexCount, quoteValue(index));
}

bool roomHolds(std::uint64_t room, const OffCounts& counts, unsigned vertexBytes, unsigned faceBytes) {
    const std::uint64_t forVertices = std::uint64_t{vertexBytes} * static_cast<std::uint64_t>(counts.vertexCount);
    return forVertices <= room &&
           std::uint64_t{faceBytes} * static_cast<std::uint64_t>(counts.faceCount) <= room - forVertices;
}

bool checkRoom(OffCursor& c, std::uint64_t room, const OffCounts& counts, unsigned vertexBytes, unsigned faceBytes) {
    if (roomHolds(room, counts, vertexBytes, faceBytes)) return true;
    const std::uint64_t forVertices = std::uint64_t{vertexBytes} * static_cast<std::uint64_t>(counts.vertexCount);
    const std::string bytes = " in the " + std::to_string(room) + " bytes that follow the header";
    if (forVertices > room) {
        c.record = OffRecord::vertexCount;
        return failAt(c, counts.vertexCountAt, "at most " + std::to_string(room / vertexBytes) + " vertices" + bytes,
                      quoteValue(counts.vertexCount));
    }
    c.record = OffRecord::faceCount;
    return failAt(c, counts.faceCountAt,
                  "at most " + std::to_string((room - forVertices) / faceBytes) + " faces" + bytes,
                  quoteValue(counts.faceCount));
}

void setOutOfMemory(std::string& error, std::string_view path, std::int32_t vertexCount, std::int32_t faceCount) {
    error.assign(path)
        .append(": not enough memory for ")
        .append(std::to_string(vertexCount))
        .append(" vertices and ")
        .append(std::to_string(faceCount))
        .append(" faces");
}
