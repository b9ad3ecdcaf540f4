#include "mesh/off_reader.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "mesh/normals.h"
#include "mesh/number_token.h"

namespace {

constexpr std::size_t maxKeywordLength = 11;  // what a "%s" into char[12] can hold

// The white space of the C locale, which is what scanf skips.
constexpr std::array<bool, 256> spaceTable = [] {
    std::array<bool, 256> table{};
    for (unsigned char c : {' ', '\t', '\n', '\v', '\f', '\r'}) table[c] = true;
    return table;
}();

bool isSpace(char c) { return spaceTable[static_cast<unsigned char>(c)]; }

enum class Record { keyword, vertexCount, faceCount, edgeCount, vertex, face };

struct Reader {
    std::string_view text;
    std::string_view path;
    const char* p;
    const char* end;
    std::string& error;
    // What is being read, for messages only.
    Record record = Record::keyword;
    std::int64_t index = 0;
    std::int64_t count = 0;
};

struct Token {
    const char* first;
    const char* last;
};

// Line numbers are counted only on the error path, so the reader itself never
// looks at line breaks.
long long lineOf(const Reader& r, const char* at) {
    const char* begin = r.text.data();
    if (at == r.end && at != begin && at[-1] == '\n') --at;  // end of file: the last line that has text
    return 1 + std::count(begin, at, '\n');
}

std::string describeRecord(const Reader& r) {
    switch (r.record) {
        case Record::keyword: return "keyword";
        case Record::vertexCount: return "vertex count";
        case Record::faceCount: return "face count";
        case Record::edgeCount: return "edge count";
        case Record::vertex: return "vertex " + std::to_string(r.index) + " of " + std::to_string(r.count);
        case Record::face: return "face " + std::to_string(r.index) + " of " + std::to_string(r.count);
    }
    return "record";
}

// A token as it may safely appear inside one line of a message: bytes that
// are not printable ASCII are escaped, and long tokens are cut short.
std::string quoteToken(Token token) {
    constexpr std::size_t shown = 40;
    const auto length = static_cast<std::size_t>(token.last - token.first);
    std::string quoted = "'";
    for (std::size_t i = 0; i < std::min(length, shown); ++i) {
        const auto c = static_cast<unsigned char>(token.first[i]);
        if (c >= 0x20 && c < 0x7f && c != '\\') {
            quoted += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            quoted += escaped;
        }
    }
    if (length > shown) return quoted + "...' (" + std::to_string(length) + " bytes)";
    return quoted + "'";
}

bool fail(Reader& r, const char* at, std::string_view expected, std::string_view found) {
    r.error = std::string(r.path) + ":" + std::to_string(lineOf(r, at)) + ": " + describeRecord(r) +
              ": expected " + std::string(expected) + ", found " + std::string(found);
    return false;
}

bool nextToken(Reader& r, std::string_view expected, Token& token) {
    const char* p = r.p;
    while (p != r.end && isSpace(*p)) ++p;
    if (p == r.end) return fail(r, p, expected, "end of file");
    const char* last = p;
    while (last != r.end && !isSpace(*last) && *last != '\0') ++last;
    if (last != r.end && *last == '\0') return fail(r, last, expected, "a NUL byte");
    token = {p, last};
    r.p = last;
    return true;
}

bool readInt(Reader& r, std::int32_t& value) {
    Token token{};
    if (!nextToken(r, "an integer", token)) return false;
    switch (parseIntToken(token.first, token.last, value)) {
        case NumberStatus::ok: return true;
        case NumberStatus::outOfRange:
            return fail(r, token.first, "an integer in -2147483648..2147483647", quoteToken(token));
        case NumberStatus::notANumber: break;
    }
    return fail(r, token.first, "an integer", quoteToken(token));
}

bool readDouble(Reader& r, double& value) {
    Token token{};
    if (!nextToken(r, "a number", token)) return false;
    if (parseDoubleToken(token.first, token.last, value) == NumberStatus::ok) return true;
    return fail(r, token.first, "a number", quoteToken(token));
}

bool readCount(Reader& r, Record record, std::int32_t& count) {
    r.record = record;
    const char* before = r.p;
    if (!readInt(r, count)) return false;
    if (count >= 0) return true;
    while (isSpace(*before)) ++before;
    return fail(r, before, "a count of 0 or more", quoteToken({before, r.p}));
}

bool readVertexIndex(Reader& r, std::int32_t vertexCount, std::int32_t& index) {
    const char* before = r.p;
    if (!readInt(r, index)) return false;
    if (index >= 0 && index < vertexCount) return true;
    while (isSpace(*before)) ++before;
    const std::string expected = vertexCount == 0
                                     ? std::string("no face records in a mesh without vertices")
                                     : "a vertex index in 0.." + std::to_string(vertexCount - 1);
    return fail(r, before, expected, quoteToken({before, r.p}));
}

// Built with append rather than "'" + std::to_string(...): GCC 12 at -O3 sees
// a false overlap in the latter (-Wrestrict) and the Release build fails.
std::string quoteCount(std::int32_t count) {
    std::string quoted = "'";
    quoted += std::to_string(count);
    quoted += '\'';
    return quoted;
}

// Every number takes at least one character and one separator before it, so
// `numbers` more numbers need at least 2 * numbers bytes. A file shorter than
// that cannot hold the records its header announces, and its counts must not
// size an allocation.
bool checkRoom(Reader& r, const char* vertexCountAt, const char* faceCountAt, std::int32_t vertexCount,
               std::int32_t faceCount) {
    const auto room = static_cast<std::uint64_t>(r.end - r.p);
    const std::uint64_t vertexBytes = 6 * static_cast<std::uint64_t>(vertexCount);
    if (vertexBytes > room) {
        r.record = Record::vertexCount;
        return fail(r, vertexCountAt,
                    "at most " + std::to_string(room / 6) + " vertices in the " + std::to_string(room) +
                        " bytes that follow the header",
                    quoteCount(vertexCount));
    }
    if (8 * static_cast<std::uint64_t>(faceCount) > room - vertexBytes) {
        r.record = Record::faceCount;
        return fail(r, faceCountAt,
                    "at most " + std::to_string((room - vertexBytes) / 8) + " faces in the " +
                        std::to_string(room) + " bytes that follow the header",
                    quoteCount(faceCount));
    }
    return true;
}

template <class T>
Table<T> allocateTable(std::int32_t count) {
    if (count == 0) return nullptr;
    return Table<T>(static_cast<T*>(std::malloc(sizeof(T) * static_cast<std::size_t>(count))));
}

bool readHeader(Reader& r, Model& model) {
    Token keyword{};
    if (!nextToken(r, "a keyword", keyword)) return false;
    if (static_cast<std::size_t>(keyword.last - keyword.first) > maxKeywordLength)
        return fail(r, keyword.first, "a keyword of at most 11 characters", quoteToken(keyword));

    auto skipTo = [&r] {
        while (r.p != r.end && isSpace(*r.p)) ++r.p;
        return r.p;
    };
    const char* vertexCountAt = skipTo();
    if (!readCount(r, Record::vertexCount, model.vertexCount)) return false;
    const char* faceCountAt = skipTo();
    if (!readCount(r, Record::faceCount, model.faceCount)) return false;
    r.record = Record::edgeCount;
    std::int32_t edgeCount = 0;
    if (!readInt(r, edgeCount)) return false;
    return checkRoom(r, vertexCountAt, faceCountAt, model.vertexCount, model.faceCount);
}

bool readVertices(Reader& r, Model& model) {
    r.record = Record::vertex;
    r.count = model.vertexCount;
    for (std::int32_t i = 0; i < model.vertexCount; ++i) {
        r.index = i;
        Vertex& v = model.vertices[i];
        if (!readDouble(r, v.x) || !readDouble(r, v.y) || !readDouble(r, v.z)) return false;
    }
    return true;
}

bool readFaces(Reader& r, Model& model) {
    r.record = Record::face;
    r.count = model.faceCount;
    for (std::int32_t j = 0; j < model.faceCount; ++j) {
        r.index = j;
        Face& face = model.faces[j];
        std::int32_t cornerCount = 0;  // read and never used: every face is a triangle
        if (!readInt(r, cornerCount)) return false;
        for (int k = 0; k < 3; ++k) {
            if (!readVertexIndex(r, model.vertexCount, face.vertexIndex[k])) return false;
            face.cornerPosition[k] = model.vertices[face.vertexIndex[k]];
        }
        computeFaceNormal(face);
    }
    return true;
}

}  // namespace

bool buildModel(std::string_view text, std::string_view path, Model& model, std::string& error) {
    model = Model{};
    Reader r{text, path, text.data(), text.data() + text.size(), error};
    if (!readHeader(r, model)) {
        model = Model{};
        return false;
    }
    model.vertices = allocateTable<Vertex>(model.vertexCount);
    model.faces = allocateTable<Face>(model.faceCount);
    if ((model.vertexCount > 0 && !model.vertices) || (model.faceCount > 0 && !model.faces)) {
        error = std::string(path) + ": not enough memory for " + std::to_string(model.vertexCount) +
                " vertices and " + std::to_string(model.faceCount) + " faces";
        model = Model{};
        return false;
    }
    if (!readVertices(r, model) || !readFaces(r, model)) {
        model = Model{};
        return false;
    }
    smoothCornerNormals(model.faces.get(), model.faceCount);
    return true;
}
