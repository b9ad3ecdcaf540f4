// The two text readings of OFF (see off_reader.h): one token stream, or one
// record per line.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "fit/off_common.h"
#include "mesh/number_token.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }
bool endsToken(char c) { return isBlank(c) || c == '\n' || c == '#' || c == '\0'; }

enum class Record { keyword, dimension, vertexCount, faceCount, edgeCount, vertex, face, afterFaces };

struct TextReader {
    std::string_view path;
    bool recordPerLine;
    const char* begin;
    const char* p;
    const char* end;
    OffAttempt& attempt;
    // What is being read, for messages only.
    Record record = Record::keyword;
    std::int64_t index = 0;
    std::int64_t count = 0;
};

// Lines are counted only on the way to a message.
long long lineOf(const TextReader& r, const char* at) {
    if (at == r.end)  // end of file: the last line that has text
        while (at != r.begin && (isBlank(at[-1]) || at[-1] == '\n')) --at;
    return 1 + std::count(r.begin, at, '\n');
}

std::string describeRecord(const TextReader& r) {
    switch (r.record) {
        case Record::keyword: return "keyword";
        case Record::dimension: return "dimension";
        case Record::vertexCount: return "vertex count";
        case Record::faceCount: return "face count";
        case Record::edgeCount: return "edge count";
        case Record::vertex: return "vertex " + std::to_string(r.index) + " of " + std::to_string(r.count);
        case Record::face: return "face " + std::to_string(r.index) + " of " + std::to_string(r.count);
        case Record::afterFaces: return "after the last face";
    }
    return "record";
}

bool fail(TextReader& r, const char* at, std::string_view expected, std::string_view found) {
    r.attempt.reached = static_cast<std::size_t>(at - r.begin);
    r.attempt.error = std::string(r.path) + ":" + std::to_string(lineOf(r, at)) + ": " + describeRecord(r) +
                      ": expected " + std::string(expected) + ", found " + std::string(found);
    return false;
}

// Skips white space, line breaks and comments.
void skipSpace(TextReader& r) {
    while (r.p != r.end) {
        if (isBlank(*r.p) || *r.p == '\n') {
            ++r.p;
        } else if (*r.p == '#') {
            while (r.p != r.end && *r.p != '\n') ++r.p;
        } else {
            return;
        }
    }
}

// Skips blanks and a comment, but not the line break: true when the line has
// no more tokens.
bool atLineEnd(TextReader& r) {
    while (r.p != r.end && isBlank(*r.p)) ++r.p;
    if (r.p != r.end && *r.p == '#')
        while (r.p != r.end && *r.p != '\n') ++r.p;
    return r.p == r.end || *r.p == '\n';
}

void skipRestOfLine(TextReader& r) {
    while (r.p != r.end && *r.p != '\n') ++r.p;
    if (r.p != r.end) ++r.p;
}

// The next token; in the record-per-line reading, records after the header
// keep to their line.
bool nextToken(TextReader& r, std::string_view expected, std::string_view& token, bool sameLine) {
    if (sameLine) {
        if (atLineEnd(r)) return fail(r, r.p, expected, r.p == r.end ? "end of file" : "end of line");
    } else {
        skipSpace(r);
        if (r.p == r.end) return fail(r, r.p, expected, "end of file");
    }
    if (*r.p == '\0') return fail(r, r.p, expected, "a NUL byte");
    const char* first = r.p;
    while (r.p != r.end && !endsToken(*r.p)) ++r.p;
    token = {first, static_cast<std::size_t>(r.p - first)};
    return true;
}

bool readInt(TextReader& r, std::int32_t& value, bool sameLine) {
    std::string_view token;
    if (!nextToken(r, "an integer", token, sameLine)) return false;
    switch (parseIntToken(token.data(), token.data() + token.size(), value)) {
        case NumberStatus::ok: return true;
        case NumberStatus::outOfRange:
            return fail(r, token.data(), "an integer in -2147483648..2147483647", quoteToken(token));
        case NumberStatus::notANumber: break;
    }
    return fail(r, token.data(), "an integer", quoteToken(token));
}

bool readNumber(TextReader& r, double& value, bool sameLine) {
    std::string_view token;
    if (!nextToken(r, "a number", token, sameLine)) return false;
    if (parseDoubleToken(token.data(), token.data() + token.size(), value) != NumberStatus::ok)
        return fail(r, token.data(), "a number", quoteToken(token));
    if (!std::isfinite(value)) return fail(r, token.data(), "a finite number", quoteToken(token));
    return true;
}

bool checkCount(TextReader& r, std::string_view token, std::int32_t& count) {
    const NumberStatus status = parseIntToken(token.data(), token.data() + token.size(), count);
    if (status == NumberStatus::ok && count >= 0) return true;
    return fail(r, token.data(), "a count in 0..2147483647", quoteToken(token));
}

bool readCount(TextReader& r, Record record, std::int32_t& count) {
    r.record = record;
    std::string_view token;
    return nextToken(r, "a count", token, false) && checkCount(r, token, count);
}

// Every number takes at least one character and one separator, so the
// counts must leave room for that many numbers in what follows the header.
bool checkRoom(TextReader& r, const char* vertexCountAt, const char* faceCountAt, std::int32_t vertexCount,
               std::int32_t faceCount, int numbersPerVertex) {
    const auto room = static_cast<std::uint64_t>(r.end - r.p) + 1;
    const std::uint64_t vertexBytes = 2 * static_cast<std::uint64_t>(numbersPerVertex) * vertexCount;
    if (vertexBytes > room) {
        r.record = Record::vertexCount;
        return fail(r, vertexCountAt,
                    "at most " + std::to_string(room / (std::uint64_t{2} * numbersPerVertex)) + " vertices in the " +
                        std::to_string(room - 1) + " bytes that follow the header",
                    quoteToken(std::to_string(vertexCount)));
    }
    if (2 * static_cast<std::uint64_t>(faceCount) > room - vertexBytes) {
        r.record = Record::faceCount;
        return fail(r, faceCountAt,
                    "at most " + std::to_string((room - vertexBytes) / 2) + " faces in the " +
                        std::to_string(room - 1) + " bytes that follow the header",
                    quoteToken(std::to_string(faceCount)));
    }
    return true;
}

struct Header {
    OffKeyword keyword;
    std::int32_t vertexCount = 0;
    std::int32_t faceCount = 0;
};

bool readHeader(TextReader& r, Header& h) {
    r.record = Record::keyword;
    std::string_view first;
    if (!nextToken(r, "an OFF keyword or the vertex count", first, false)) return false;
    std::string_view vertexCountToken;
    std::int32_t number = 0;
    if (parseOffKeyword(first, h.keyword)) {
        vertexCountToken = first.substr(h.keyword.length);  // OFF8: the count glued to the keyword
    } else if (parseIntToken(first.data(), first.data() + first.size(), number) == NumberStatus::ok) {
        vertexCountToken = first;  // the keyword is optional
    } else {
        return fail(r, first.data(), "an OFF keyword or the vertex count", quoteToken(first));
    }
    if (h.keyword.dimension) {
        if (!vertexCountToken.empty())
            return fail(r, vertexCountToken.data(), "the dimension after nOFF", quoteToken(vertexCountToken));
        r.record = Record::dimension;
        std::int32_t dimension = 0;
        const char* at = r.p;
        if (!readInt(r, dimension, false)) return false;
        if (dimension != 3) {
            while (at != r.end && (isBlank(*at) || *at == '\n')) ++at;
            return fail(r, at, "3 (only meshes in space are read)", quoteToken(std::to_string(dimension)));
        }
    }
    r.record = Record::vertexCount;
    if (vertexCountToken.empty() && !nextToken(r, "a count", vertexCountToken, false)) return false;
    if (!checkCount(r, vertexCountToken, h.vertexCount)) return false;
    skipSpace(r);
    const char* faceCountAt = r.p;
    if (!readCount(r, Record::faceCount, h.faceCount)) return false;
    if (h.faceCount == 0) return fail(r, faceCountAt, "at least one face", "'0'");  // a point set
    // The edge count, which some writers leave out: a record per line needs
    // it only on the line of the face count.
    r.record = Record::edgeCount;
    std::int32_t edgeCount = 0;
    if (!r.recordPerLine) {
        if (!readInt(r, edgeCount, false)) return false;
    } else {
        if (!atLineEnd(r) && !readInt(r, edgeCount, true)) return false;
        skipRestOfLine(r);
    }
    const int numbersPerVertex = h.keyword.coordinates() + (r.recordPerLine ? 0 : h.keyword.extraValues());
    return checkRoom(r, vertexCountToken.data(), faceCountAt, h.vertexCount, h.faceCount, numbersPerVertex);
}

bool readVertices(TextReader& r, const Header& h, std::vector<Vertex>& vertices) {
    r.record = Record::vertex;
    r.count = h.vertexCount;
    vertices.resize(static_cast<std::size_t>(h.vertexCount));
    const bool sameLine = r.recordPerLine;
    const int extras = r.recordPerLine ? 0 : h.keyword.extraValues();
    for (std::int32_t i = 0; i < h.vertexCount; ++i) {
        r.index = i;
        if (sameLine) skipSpace(r);
        Vertex& v = vertices[static_cast<std::size_t>(i)];
        if (!readNumber(r, v.x, sameLine) || !readNumber(r, v.y, sameLine) || !readNumber(r, v.z, sameLine))
            return false;
        if (h.keyword.homogeneous) {
            const char* at = r.p;
            double w = 0;
            if (!readNumber(r, w, sameLine)) return false;
            v = {v.x / w, v.y / w, v.z / w};
            if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z)) {
                while (at != r.end && (isBlank(*at) || *at == '\n')) ++at;
                return fail(r, at, "a w that leaves the point finite", quoteToken({at, std::size_t(r.p - at)}));
            }
        }
        for (int e = 0; e < extras; ++e) {
            double ignored = 0;
            if (!readNumber(r, ignored, false)) return false;
        }
        if (sameLine) skipRestOfLine(r);
    }
    return true;
}

bool readFaces(TextReader& r, const Header& h, PolygonMesh& mesh) {
    r.record = Record::face;
    r.count = h.faceCount;
    const bool sameLine = r.recordPerLine;
    mesh.faceStart.assign(1, 0);
    mesh.faceStart.reserve(static_cast<std::size_t>(h.faceCount) + 1);
    mesh.corners.clear();
    mesh.corners.reserve(3 * static_cast<std::size_t>(h.faceCount));
    const std::string indexRange = h.vertexCount == 0 ? std::string("a vertex index, but there are no vertices")
                                                      : "a vertex index in 0.." + std::to_string(h.vertexCount - 1);
    for (std::int32_t j = 0; j < h.faceCount; ++j) {
        r.index = j;
        if (sameLine) skipSpace(r);
        std::string_view token;
        if (!nextToken(r, "a corner count", token, false)) return false;
        std::int32_t cornerCount = 0;
        if (parseIntToken(token.data(), token.data() + token.size(), cornerCount) != NumberStatus::ok ||
            cornerCount < 0)
            return fail(r, token.data(), "a corner count in 0..2147483647", quoteToken(token));
        for (std::int32_t k = 0; k < cornerCount; ++k) {
            if (!nextToken(r, indexRange, token, sameLine)) return false;
            std::int32_t index = 0;
            if (parseIntToken(token.data(), token.data() + token.size(), index) != NumberStatus::ok || index < 0 ||
                index >= h.vertexCount)
                return fail(r, token.data(), indexRange, quoteToken(token));
            mesh.corners.push_back(index);
        }
        mesh.faceStart.push_back(static_cast<std::int64_t>(mesh.corners.size()));
        if (sameLine) skipRestOfLine(r);  // a colour, or nothing
    }
    return true;
}

}  // namespace

OffAttempt readOffText(std::string_view bytes, std::string_view path, bool recordPerLine, PolygonMesh& mesh) {
    OffAttempt attempt;
    TextReader r{path, recordPerLine, bytes.data(), bytes.data(), bytes.data() + bytes.size(), attempt};
    Header header;
    if (!readHeader(r, header) || !readVertices(r, header, mesh.vertices) || !readFaces(r, header, mesh))
        return attempt;
    if (!recordPerLine) {
        // The token stream must account for every token: anything left over
        // means the records were not what the keyword said.
        skipSpace(r);
        r.record = Record::afterFaces;
        if (r.p != r.end) {
            std::string_view token;
            if (nextToken(r, "the end of the file", token, false))
                fail(r, token.data(), "the end of the file", quoteToken(token));
            return attempt;
        }
    }
    attempt.ok = true;
    attempt.reached = bytes.size();
    return attempt;
}
