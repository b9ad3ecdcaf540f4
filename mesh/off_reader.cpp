#include "mesh/off_reader.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "mesh/normals.h"
#include "mesh/number_token.h"
#include "mesh/workers.h"

namespace {

constexpr std::size_t maxKeywordLength = 11;
// what a "%s" into char[12] can hold

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
    r.error = std::string(r.path) + ":" + std::to_string(lineOf(r, at)) + ": " + describeRecord(r) + ": expected " +
              std::string(expected) + ", found " + std::string(found);
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
    const std::string expected = vertexCount == 0 ? std::string("no face records in a mesh without vertices")
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
                    "at most " + std::to_string((room - vertexBytes) / 8) + " faces in the " + std::to_string(room) +
                        " bytes that follow the header",
                    quoteCount(faceCount));
    }
    return true;
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

bool readFaces(Reader& r, const Model& model, std::int32_t* corners) {
    r.record = Record::face;
    r.count = model.faceCount;
    for (std::int32_t j = 0; j < model.faceCount; ++j) {
        r.index = j;
        std::int32_t cornerCount = 0;  // read and never used: every face is a triangle
        if (!readInt(r, cornerCount)) return false;
        for (int k = 0; k < 3; ++k)
            if (!readVertexIndex(r, model.vertexCount, corners[3 * std::int64_t{j} + k])) return false;
    }
    return true;
}

// The fast way through the records. The sequential reader above stays the
// authority: whenever the fast way meets anything it does not expect, it gives
// up and the sequential reader goes over the same text, so every message, and
// every value, is the one it gives.
//
// Tokens are scanned and converted in one pass. A decimal number of at most
// 19 digits with the value m * 10^e, m <= 2^53 and |e| <= 22, needs no more:
// m and 10^|e| are exact doubles and one multiplication or division rounds
// their product or quotient correctly, which is what strtod does. Anything else
// (more digits, a large exponent, hexadecimal, inf, junk) goes through
// parseDoubleToken. Integers take digits only; signs and overflow go through
// parseIntToken.
//
// The body after the header is cut into chunks at white space, one per
// thread. Only the first chunk knows which record its first token belongs
// to; thread t counts the tokens of chunk t - 1 before it parses its own, and
// adds the counts of the chunks before that as the other threads publish them.

bool isDigit(char c) { return c >= '0' && c <= '9'; }

constexpr double exactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                       1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The end of the token at p, or nullptr when a NUL byte ends it.
const char* tokenEnd(const char* p, const char* end) {
    while (p != end && !isSpace(*p) && *p != '\0') ++p;
    return p != end && *p == '\0' ? nullptr : p;
}

// p is at the first character of a token; on success p moves past it.
bool scanDouble(const char*& p, const char* end, double& value) {
    const char* s = p;
    const bool negative = *s == '-';
    if (*s == '-' || *s == '+') ++s;
    std::uint64_t mantissa = 0;
    int digits = 0, fractionDigits = 0;
    for (; s != end && isDigit(*s); ++s, ++digits) mantissa = mantissa * 10 + static_cast<unsigned>(*s - '0');
    if (s != end && *s == '.')
        for (++s; s != end && isDigit(*s); ++s, ++digits, ++fractionDigits)
            mantissa = mantissa * 10 + static_cast<unsigned>(*s - '0');
    bool plain = digits > 0 && digits <= 19;
    int exponent = 0;
    if (s != end && (*s == 'e' || *s == 'E')) {
        ++s;
        const bool negativeExponent = s != end && *s == '-';
        if (s != end && (*s == '-' || *s == '+')) ++s;
        int exponentDigits = 0;
        for (; s != end && isDigit(*s); ++s, ++exponentDigits)
            if (exponent < 100000) exponent = exponent * 10 + (*s - '0');
        if (exponentDigits == 0) plain = false;
        if (negativeExponent) exponent = -exponent;
    }
    const int scale = exponent - fractionDigits;
    if (plain && (s == end || isSpace(*s)) && mantissa <= (std::uint64_t{1} << 53) && scale >= -22 && scale <= 22) {
        const auto m = static_cast<double>(mantissa);
        const double magnitude = scale < 0 ? m / exactPowersOfTen[-scale] : m * exactPowersOfTen[scale];
        value = negative ? -magnitude : magnitude;
        p = s;
        return true;
    }
    const char* last = tokenEnd(p, end);
    if (!last || parseDoubleToken(p, last, value) != NumberStatus::ok) return false;
    p = last;
    return true;
}

bool scanInt(const char*& p, const char* end, std::int32_t& value) {
    const char* s = p;
    std::uint64_t magnitude = 0;
    int digits = 0;
    for (; s != end && isDigit(*s) && digits < 10; ++s, ++digits)
        magnitude = magnitude * 10 + static_cast<unsigned>(*s - '0');
    if (digits > 0 && (s == end || isSpace(*s)) && magnitude <= INT32_MAX) {
        value = static_cast<std::int32_t>(magnitude);
        p = s;
        return true;
    }
    const char* last = tokenEnd(p, end);
    if (!last || parseIntToken(p, last, value) != NumberStatus::ok) return false;
    p = last;
    return true;
}

constexpr double Vertex::*coordinate[3] = {&Vertex::x, &Vertex::y, &Vertex::z};

// Parses the tokens of [p, end), the first of which is token `index` of the
// body, until the body has all it needs. Returns the index after the last
// token parsed, or -1 for anything the fast way does not take.
std::int64_t parseChunk(Model& model, std::int32_t* corners, const char* p, const char* end, std::int64_t index) {
    const std::int64_t vertexTokens = 3 * std::int64_t{model.vertexCount};
    const std::int64_t needed = vertexTokens + 4 * std::int64_t{model.faceCount};
    auto nextToken = [&p, end] {
        while (p != end && isSpace(*p)) ++p;
        return p != end;
    };
    if (index < vertexTokens) {
        std::int64_t i = index / 3;
        int c = static_cast<int>(index % 3);
        for (; i < model.vertexCount; ++index) {
            if (!nextToken()) return index;
            if (!scanDouble(p, end, model.vertices[i].*coordinate[c])) return -1;
            if (++c == 3) c = 0, ++i;
        }
    }
    if (index >= needed) return index;
    std::int64_t j = (index - vertexTokens) / 4;
    int field = static_cast<int>((index - vertexTokens) % 4);
    for (; j < model.faceCount; ++index) {
        if (!nextToken()) return index;
        std::int32_t value = 0;
        if (!scanInt(p, end, value)) return -1;
        if (field == 0) {
            ++field;  // the corner count, read and never used
            continue;
        }
        if (value < 0 || value >= model.vertexCount) return -1;
        corners[3 * j + field - 1] = value;
        if (++field == 4) field = 0, ++j;
    }
    return index;
}

// Tokens that start in [p, end); the byte before p must be readable, and is
// white space or ends a token that starts before p. Sixteen bytes at a time:
// a token starts at every byte that is not white space and follows one that
// is.
std::int64_t countTokens(const char* p, const char* end) {
    using Bytes = unsigned char __attribute__((vector_size(16)));
    auto space = [](Bytes b) {
        return reinterpret_cast<Bytes>(b == ' ') | reinterpret_cast<Bytes>(static_cast<Bytes>(b - '\t') < 5);
    };
    std::int64_t count = 0;
    Bytes starts = {};  // per lane, up to 255 token starts before they are added up
    int rounds = 0;
    for (; end - p >= 16; p += 16) {
        Bytes here, before;
        std::memcpy(&here, p, 16);
        std::memcpy(&before, p - 1, 16);
        starts -= ~space(here) & space(before);  // each start is 0xff: subtracting adds one
        if (++rounds == 255) {
            for (int i = 0; i < 16; ++i) count += starts[i];
            starts = Bytes{};
            rounds = 0;
        }
    }
    for (int i = 0; i < 16; ++i) count += starts[i];
    for (; p != end; ++p) count += !isSpace(*p) && isSpace(p[-1]);
    return count;
}

// Chunks per thread: enough that a thread kept waiting by the system costs
// the others little.
constexpr int chunksPerThread = 4;
constexpr std::int64_t bytesPerExtraThread = 2 << 20;

// Chunk c starts at cut[c], just after white space, so that no token spans
// two chunks. The tokens of every chunk but the last are counted first, so
// that each chunk knows which record its first token belongs to; then the
// chunks are parsed in any order.
bool parseBody(Reader& r, Model& model, std::int32_t* corners, int threads) {
    const char* body = r.p;
    const std::int64_t size = r.end - body;
    const int workers = threadsFor(size, bytesPerExtraThread, threads);
    const int chunks = workers == 1 ? 1 : workers * chunksPerThread;
    std::vector<const char*> cut(static_cast<std::size_t>(chunks) + 1, r.end);
    cut[0] = body;
    for (int c = 1; c < chunks; ++c) {
        const char* at = std::max(cut[c - 1], body + size * c / chunks);
        while (at != r.end && !isSpace(at[-1])) ++at;
        cut[c] = at;
    }
    std::vector<std::int64_t> firstToken(static_cast<std::size_t>(chunks) + 1, 0);
    shareOut(workers, chunks - 1, [&](std::int64_t c) { firstToken[c + 1] = countTokens(cut[c], cut[c + 1]); });
    for (int c = 1; c <= chunks; ++c) firstToken[c] += firstToken[c - 1];

    const std::int64_t needed = 3 * std::int64_t{model.vertexCount} + 4 * std::int64_t{model.faceCount};
    std::vector<char> failed(static_cast<std::size_t>(chunks), 0);
    std::int64_t lastReached = 0;
    shareOut(workers, chunks, [&](std::int64_t c) {
        const std::int64_t reached = parseChunk(model, corners, cut[c], cut[c + 1], firstToken[c]);
        failed[c] = static_cast<char>(reached < 0);
        if (c == chunks - 1) lastReached = reached;
    });
    // The last chunk ends where the text does, so it reaches every token the
    // body needs, or the text ends too early.
    return std::find(failed.begin(), failed.end(), 1) == failed.end() && lastReached >= needed;
}

thread_local bool readFast = false;

}  // namespace

bool lastReadWasFast() { return readFast; }

bool readModelNumbers(std::string_view text, std::string_view path, Model& model, Table<std::int32_t>& corners,
                      std::string& error, int threads) {
    readFast = false;
    model = Model{};
    corners = nullptr;
    Reader r{text, path, text.data(), text.data() + text.size(), error};
    if (!readHeader(r, model)) {
        model = Model{};
        return false;
    }
    model.vertices = allocateWrittenTable<Vertex>(model.vertexCount);
    model.faces = allocateTable<Face>(model.faceCount);  // first written by fillFaceTable, block by block
    corners = allocateWrittenTable<std::int32_t>(3 * std::int64_t{model.faceCount});
    if ((model.vertexCount > 0 && !model.vertices) || (model.faceCount > 0 && (!model.faces || !corners))) {
        error = std::string(path) + ": not enough memory for " + std::to_string(model.vertexCount) + " vertices and " +
                std::to_string(model.faceCount) + " faces";
        model = Model{};
        corners = nullptr;
        return false;
    }
    readFast = parseBody(r, model, corners.get(), threads);
    if (readFast) return true;
    if (!readVertices(r, model) || !readFaces(r, model, corners.get())) {
        model = Model{};
        corners = nullptr;
        return false;
    }
    return true;
}

bool fillModelFaces(std::string_view path, Model& model, const std::int32_t* corners, std::string& error, int threads) {
    if (fillFaceTable(model.faces.get(), model.faceCount, model.vertices.get(), corners, model.vertexCount, threads))
        return true;
    error = std::string(path) + ": not enough memory for the corner normals of " + std::to_string(model.faceCount) +
            " faces";
    model = Model{};
    return false;
}

bool buildModel(std::string_view text, std::string_view path, Model& model, std::string& error) {
    return buildModel(text, path, model, error, availableThreads());
}

bool buildModel(std::string_view text, std::string_view path, Model& model, std::string& error, int threads) {
    Table<std::int32_t> corners;
    if (!readModelNumbers(text, path, model, corners, error, threads)) return false;
    return fillModelFaces(path, model, corners.get(), error, threads);
}
