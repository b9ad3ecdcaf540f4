// The two text readings of polygon OFF (see polygon_off.h): one token
// stream, or one record per line. Tokens are cut here, since comments and
// lines matter to this grammar; what a token must be, and the line for what
// it is not, come from the cursor the viewer's reader uses too.
#include <cmath>
#include <cstdint>
#include <new>
#include <string>

#include "formats/polygon_off_readings.h"
#include "mesh/number_token.h"
#include "mesh/off_cursor.h"
#include "mesh/off_space.h"
#include "mesh/quoted_token.h"

namespace {

bool isBlank(char c) { return c != '\n' && isOffSpace(c); }
bool endsToken(char c) { return isOffSpace(c) || c == '#' || c == '\0'; }

struct TextReader {
    OffCursor c;
    bool recordPerLine;
};

// Skips white space, line breaks and comments.
void skipSpace(OffCursor& c) {
    while (c.p != c.end) {
        if (isOffSpace(*c.p)) {
            ++c.p;
        } else if (*c.p == '#') {
            while (c.p != c.end && *c.p != '\n') ++c.p;
        } else {
            return;
        }
    }
}

// Skips blanks and a comment, but not the line break: true when the line has
// no more tokens.
bool atLineEnd(OffCursor& c) {
    while (c.p != c.end && isBlank(*c.p)) ++c.p;
    if (c.p != c.end && *c.p == '#')
        while (c.p != c.end && *c.p != '\n') ++c.p;
    return c.p == c.end || *c.p == '\n';
}

void skipRestOfLine(OffCursor& c) {
    while (c.p != c.end && *c.p != '\n') ++c.p;
    if (c.p != c.end) ++c.p;
}

// The next token; in the record-per-line reading, records after the header
// keep to their line.
bool nextToken(OffCursor& c, std::string_view expected, std::string_view& token, bool sameLine) {
    if (sameLine) {
        if (atLineEnd(c)) return failAt(c, c.p, expected, c.p == c.end ? "end of file" : "end of line");
    } else {
        skipSpace(c);
        if (c.p == c.end) return failAt(c, c.p, expected, "end of file");
    }
    if (*c.p == '\0') return failAt(c, c.p, expected, "a NUL byte");
    const char* first = c.p;
    while (c.p != c.end && !endsToken(*c.p)) ++c.p;
    token = {first, static_cast<std::size_t>(c.p - first)};
    return true;
}

bool readInteger(OffCursor& c, std::int32_t& value, bool sameLine, std::string_view& token) {
    return nextToken(c, "an integer", token, sameLine) && takeInteger(c, token, value);
}

bool readCount(OffCursor& c, OffRecord record, std::int32_t& count, const char*& at) {
    c.record = record;
    std::string_view token;
    if (!nextToken(c, "an integer", token, false) || !takeCount(c, token, count)) return false;
    at = token.data();
    return true;
}

// A number, which must be finite here: a position, or data that a writer
// meant to be one.
bool readNumber(OffCursor& c, double& value, bool sameLine, std::string_view& token) {
    if (!nextToken(c, "a number", token, sameLine) || !takeNumber(c, token, value)) return false;
    return std::isfinite(value) || failAt(c, token.data(), "a finite number", quoteToken(token));
}

bool readNumber(OffCursor& c, double& value, bool sameLine) {
    std::string_view token;
    return readNumber(c, value, sameLine, token);
}

struct Header {
    OffKeyword keyword;
    OffCounts counts;
};

bool readHeader(TextReader& r, Header& h) {
    OffCursor& c = r.c;
    c.record = OffRecord::keyword;
    std::string_view first;
    if (!nextToken(c, "an OFF keyword or the vertex count", first, false)) return false;
    std::string_view vertexCountToken;
    std::int32_t number = 0;
    if (parseOffKeyword(first, h.keyword)) {
        vertexCountToken = first.substr(h.keyword.length);  // OFF8: the count glued to the keyword
    } else if (parseIntToken(first.data(), first.data() + first.size(), number) == NumberStatus::ok) {
        vertexCountToken = first;  // the keyword is optional
    } else {
        return failAt(c, first.data(), "an OFF keyword or the vertex count", quoteToken(first));
    }
    if (h.keyword.dimension) {
        if (!vertexCountToken.empty())
            return failAt(c, vertexCountToken.data(), "the dimension after nOFF", quoteToken(vertexCountToken));
        c.record = OffRecord::dimension;
        std::int32_t dimension = 0;
        std::string_view token;
        if (!readInteger(c, dimension, false, token)) return false;
        if (dimension != 3) return failAt(c, token.data(), "3 (only meshes in space are read)", quoteToken(token));
    }
    c.record = OffRecord::vertexCount;
    if (vertexCountToken.empty() && !nextToken(c, "an integer", vertexCountToken, false)) return false;
    if (!takeCount(c, vertexCountToken, h.counts.vertexCount)) return false;
    h.counts.vertexCountAt = vertexCountToken.data();
    if (!readCount(c, OffRecord::faceCount, h.counts.faceCount, h.counts.faceCountAt)) return false;
    if (h.counts.faceCount == 0) return failAt(c, h.counts.faceCountAt, "at least one face", "'0'");  // a point set
    // The edge count, which some writers leave out: a record per line needs
    // it only on the line of the face count.
    c.record = OffRecord::edgeCount;
    std::int32_t edgeCount = 0;
    std::string_view token;
    if (!r.recordPerLine && !readInteger(c, edgeCount, false, token)) return false;
    if (r.recordPerLine && !atLineEnd(c) && !readInteger(c, edgeCount, true, token)) return false;
    // Every number takes at least one character and a separator before it.
    const auto room = static_cast<std::uint64_t>(c.end - c.p);
    if (r.recordPerLine) skipRestOfLine(c);
    const int numbersPerVertex = h.keyword.coordinates() + (r.recordPerLine ? 0 : h.keyword.extraValues());
    return checkRoom(c, room, h.counts, 2 * static_cast<unsigned>(numbersPerVertex), 2);
}

bool readVertices(TextReader& r, const Header& h, std::vector<Vertex>& vertices) {
    OffCursor& c = r.c;
    c.record = OffRecord::vertex;
    c.count = h.counts.vertexCount;
    vertices.resize(static_cast<std::size_t>(h.counts.vertexCount));
    const bool sameLine = r.recordPerLine;
    const int extras = r.recordPerLine ? 0 : h.keyword.extraValues();
    for (std::int32_t i = 0; i < h.counts.vertexCount; ++i) {
        c.index = i;
        if (sameLine) skipSpace(c);
        Vertex& v = vertices[static_cast<std::size_t>(i)];
        if (!readNumber(c, v.x, sameLine) || !readNumber(c, v.y, sameLine) || !readNumber(c, v.z, sameLine))
            return false;
        if (h.keyword.homogeneous) {
            double w = 0;
            std::string_view token;
            if (!readNumber(c, w, sameLine, token)) return false;
            v = {v.x / w, v.y / w, v.z / w};
            if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z))
                return failAt(c, token.data(), "a w that leaves the point finite", quoteToken(token));
        }
        for (int e = 0; e < extras; ++e) {
            double ignored = 0;
            if (!readNumber(c, ignored, false)) return false;
        }
        if (sameLine) skipRestOfLine(c);
    }
    return true;
}

bool readFaces(TextReader& r, const Header& h, PolygonMesh& mesh) {
    OffCursor& c = r.c;
    c.record = OffRecord::face;
    c.count = h.counts.faceCount;
    const bool sameLine = r.recordPerLine;
    mesh.faceStart.assign(1, 0);
    mesh.faceStart.reserve(static_cast<std::size_t>(h.counts.faceCount) + 1);
    mesh.corners.clear();
    mesh.corners.reserve(3 * static_cast<std::size_t>(h.counts.faceCount));
    for (std::int32_t j = 0; j < h.counts.faceCount; ++j) {
        c.index = j;
        if (sameLine) skipSpace(c);
        std::string_view token;
        std::int32_t cornerCount = 0;
        if (!nextToken(c, "an integer", token, false) || !takeCount(c, token, cornerCount)) return false;
        for (std::int32_t k = 0; k < cornerCount; ++k) {
            std::int32_t index = 0;
            if (!nextToken(c, "an integer", token, sameLine) || !takeVertexIndex(c, token, h.counts.vertexCount, index))
                return false;
            mesh.corners.push_back(index);
        }
        mesh.faceStart.push_back(static_cast<std::int64_t>(mesh.corners.size()));
        if (sameLine) skipRestOfLine(c);  // a colour, or nothing
    }
    return true;
}

// The token stream must account for every token: anything left over means
// the records were not what the keyword said.
bool readEnd(TextReader& r) {
    if (r.recordPerLine) return true;
    skipSpace(r.c);
    if (r.c.p == r.c.end) return true;
    r.c.record = OffRecord::afterFaces;
    std::string_view token;
    return nextToken(r.c, "the end of the file", token, false) &&
           failAt(r.c, token.data(), "the end of the file", quoteToken(token));
}

}  // namespace

OffAttempt readPolygonOffText(std::string_view bytes, std::string_view path, bool recordPerLine, PolygonMesh& mesh) {
    OffAttempt attempt;
    TextReader r{{path, attempt.error, bytes.data(), bytes.data(), bytes.data() + bytes.size()}, recordPerLine};
    Header header;
    try {
        attempt.ok =
            readHeader(r, header) && readVertices(r, header, mesh.vertices) && readFaces(r, header, mesh) && readEnd(r);
    } catch (const std::bad_alloc&) {
        mesh = PolygonMesh{};
        setOutOfMemory(attempt.error, path, header.counts.vertexCount, header.counts.faceCount);
        attempt.outOfMemory = true;
    }
    attempt.reached = static_cast<std::size_t>(r.c.p - r.c.begin);
    return attempt;
}
