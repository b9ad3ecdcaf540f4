#include "mesh/off_reader.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "mesh/number_token.h"
#include "mesh/off_fast_reader.h"
#include "mesh/quoted_token.h"
#include "mesh/workers.h"

namespace {

constexpr std::size_t maxKeywordLength = 11;  // what a "%s" into char[12] can hold

bool isSpace(char c) { return isOffSpace(c); }

enum class Record { keyword, vertexCount, faceCount, edgeCount, vertex, face };

// A stream's bytes, a buffer at a time. The buffer never grows: it holds the
// token being read (at most maxStreamToken bytes, or the read stops), the
// byte before it and what the last read brought.
struct Stream {
    int fd;
    char* buffer;
    std::size_t capacity;
    bool ended = false;
};

enum class More { read, ended };

struct Reader {
    std::string_view path;
    std::string& error;
    const char* begin;  // the first byte held
    const char* p;
    const char* end;
    long long linesBefore = 0;  // line breaks in the bytes of a stream no longer held
    Stream* stream = nullptr;   // null: the whole text is held
    // What is being read, for messages only.
    Record record = Record::keyword;
    std::int64_t index = 0;
    std::int64_t count = 0;
};

struct Token {
    const char* first;
    const char* last;
};

// Line numbers are counted only on the error path (and for a stream, in the
// bytes it lets go), so the reader itself never looks at line breaks.
long long lineOf(const Reader& r, const char* at) {
    if (at == r.end && at != r.begin && at[-1] == '\n') --at;  // end of file: the last line that has text
    return 1 + r.linesBefore + std::count(r.begin, at, '\n');
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

std::string_view textOf(Token token) { return {token.first, static_cast<std::size_t>(token.last - token.first)}; }

bool fail(Reader& r, const char* at, std::string_view expected, std::string_view found) {
    r.error = std::string(r.path) + ":" + std::to_string(lineOf(r, at)) + ": " + describeRecord(r) + ": expected " +
              std::string(expected) + ", found " + std::string(found);
    return false;
}

// Lets go of the stream's bytes before `keep` (but the one just before it,
// which tells the line of an end of file) and reads what the stream has
// ready after the rest. Pointers into the buffer, `keep` among them, move
// with the bytes.
More readMore(Reader& r, const char*& keep) {
    Stream* s = r.stream;
    if (!s || s->ended) return More::ended;
    const char* from = keep != r.begin ? keep - 1 : keep;
    r.linesBefore += std::count(r.begin, from, '\n');
    const auto held = static_cast<std::size_t>(r.end - from);
    const std::ptrdiff_t shift = from - s->buffer;
    std::memmove(s->buffer, from, held);
    r.begin = s->buffer;
    r.p -= shift;
    keep -= shift;
    r.end = s->buffer + held;
    ssize_t n = 0;
    do n = ::read(s->fd, s->buffer + held, s->capacity - held);
    while (n < 0 && errno == EINTR);
    if (n <= 0) {
        s->ended = true;  // a read error ends the stream as its end does
        return More::ended;
    }
    r.end += n;
    return More::read;
}

bool nextToken(Reader& r, std::string_view expected, Token& token) {
    for (;;) {
        while (r.p != r.end && isSpace(*r.p)) ++r.p;
        if (r.p != r.end) break;
        const char* keep = r.p;
        if (readMore(r, keep) != More::read) return fail(r, r.p, expected, "end of file");
    }
    const char* first = r.p;
    const char* last = first;
    auto tooLong = [&r, &first, &last] { return r.stream && static_cast<std::size_t>(last - first) > maxStreamToken; };
    for (;;) {
        while (last != r.end && !isSpace(*last) && *last != '\0') ++last;
        if (last != r.end || tooLong()) break;
        const std::ptrdiff_t length = last - first;
        const More more = readMore(r, first);
        last = first + length;
        if (more != More::read) break;
    }
    if (tooLong())
        return fail(r, first, expected,
                    quoteTokenStart({first, static_cast<std::size_t>(last - first)}) + " (more than " +
                        std::to_string(maxStreamToken) + " bytes)");
    if (last != r.end && *last == '\0') return fail(r, last, expected, "a NUL byte");
    token = {first, last};
    r.p = last;
    return true;
}

bool readInt(Reader& r, std::int32_t& value, Token& token) {
    if (!nextToken(r, "an integer", token)) return false;
    switch (parseIntToken(token.first, token.last, value)) {
        case NumberStatus::ok: return true;
        case NumberStatus::outOfRange:
            return fail(r, token.first, "an integer in -2147483648..2147483647", quoteToken(textOf(token)));
        case NumberStatus::notANumber: break;
    }
    return fail(r, token.first, "an integer", quoteToken(textOf(token)));
}

bool readDouble(Reader& r, double& value) {
    Token token{};
    if (!nextToken(r, "a number", token)) return false;
    if (parseDoubleToken(token.first, token.last, value) == NumberStatus::ok) return true;
    return fail(r, token.first, "a number", quoteToken(textOf(token)));
}

bool readCount(Reader& r, Record record, std::int32_t& count, Token& token) {
    r.record = record;
    if (!readInt(r, count, token)) return false;
    if (count >= 0) return true;
    return fail(r, token.first, "a count of 0 or more", quoteToken(textOf(token)));
}

bool readVertexIndex(Reader& r, std::int32_t vertexCount, std::int32_t& index) {
    Token token{};
    if (!readInt(r, index, token)) return false;
    if (index >= 0 && index < vertexCount) return true;
    const std::string expected = vertexCount == 0 ? std::string("no face records in a mesh without vertices")
                                                  : "a vertex index in 0.." + std::to_string(vertexCount - 1);
    return fail(r, token.first, expected, quoteToken(textOf(token)));
}

// Built with append rather than "'" + std::to_string(...): GCC 12 at -O3 sees
// a false overlap in the latter (-Wrestrict) and the Release build fails.
std::string quoteCount(std::int32_t count) {
    std::string quoted = "'";
    quoted += std::to_string(count);
    quoted += '\'';
    return quoted;
}

// The header, and where the two counts stand (valid while the whole text is
// held).
struct Header {
    Token vertexCount, faceCount;
};

bool readHeader(Reader& r, OffNumbers& n, Header& at) {
    Token keyword{};
    if (!nextToken(r, "a keyword", keyword)) return false;
    if (static_cast<std::size_t>(keyword.last - keyword.first) > maxKeywordLength)
        return fail(r, keyword.first, "a keyword of at most 11 characters", quoteToken(textOf(keyword)));
    if (!readCount(r, Record::vertexCount, n.vertexCount, at.vertexCount)) return false;
    if (!readCount(r, Record::faceCount, n.faceCount, at.faceCount)) return false;
    r.record = Record::edgeCount;
    std::int32_t edgeCount = 0;
    Token edges{};
    return readInt(r, edgeCount, edges);
}

// Every number takes at least one character and one separator before it, so
// `numbers` more numbers need at least 2 * numbers bytes. A text shorter than
// that cannot hold the records its header announces, and its counts must not
// size an allocation. Bytes after a NUL byte do not count: the text ends
// there, and `endsAtNul` says so.
enum class Room { enough, tooLittle, cutByNul };

Room checkRoom(Reader& r, const Header& at, const OffNumbers& n, bool endsAtNul) {
    const auto room = static_cast<std::uint64_t>(r.end - r.p) - (endsAtNul ? 1 : 0);
    const std::uint64_t vertexBytes = 6 * static_cast<std::uint64_t>(n.vertexCount);
    const bool vertexRoom = vertexBytes <= room;
    if (vertexRoom && 8 * static_cast<std::uint64_t>(n.faceCount) <= room - vertexBytes) return Room::enough;
    // The records then run into the NUL byte, and the reader says so there.
    if (endsAtNul) return Room::cutByNul;
    if (!vertexRoom) {
        r.record = Record::vertexCount;
        fail(r, at.vertexCount.first,
             "at most " + std::to_string(room / 6) + " vertices in the " + std::to_string(room) +
                 " bytes that follow the header",
             quoteCount(n.vertexCount));
    } else {
        r.record = Record::faceCount;
        fail(r, at.faceCount.first,
             "at most " + std::to_string((room - vertexBytes) / 8) + " faces in the " + std::to_string(room) +
                 " bytes that follow the header",
             quoteCount(n.faceCount));
    }
    return Room::tooLittle;
}

// A table that grows with the records read, up to `full` entries: a stream
// (or a text cut short by a NUL byte) must show its records before they get
// memory.
template <class T>
struct Growing {
    Table<T>& table;
    std::int64_t capacity;
    std::int64_t full;
};

template <class T>
bool makeRoom(Growing<T>& g, std::int64_t needed) {
    if (needed <= g.capacity) return true;
    const std::int64_t grown = std::min(g.full, std::max({needed, 2 * g.capacity, std::int64_t{16}}));
    void* bigger = std::realloc(g.table.get(), sizeof(T) * static_cast<std::size_t>(grown));
    if (!bigger) return false;
    static_cast<void>(g.table.release());
    g.table.reset(static_cast<T*>(bigger));
    g.capacity = grown;
    return true;
}

// The line for tables that cannot be had. Everything is let go first, and the
// line is appended to the room the load reserved in `error`, so that it needs
// no memory of its own.
bool outOfMemory(Reader& r, OffNumbers& n) {
    const std::int32_t vertexCount = n.vertexCount, faceCount = n.faceCount;
    n = OffNumbers{};
    r.error.assign(r.path);
    r.error.append(": not enough memory for ");
    r.error.append(std::to_string(vertexCount));
    r.error.append(" vertices and ");
    r.error.append(std::to_string(faceCount));
    r.error.append(" faces");
    return false;
}

// The records one token at a time, into tables that hold `held` entries and
// grow as needed.
bool readRecords(Reader& r, OffNumbers& n, std::int64_t heldVertices, std::int64_t heldCorners) {
    Growing<Vertex> vertices{n.vertices, heldVertices, n.vertexCount};
    Growing<std::int32_t> corners{n.corners, heldCorners, 3 * std::int64_t{n.faceCount}};
    r.record = Record::vertex;
    r.count = n.vertexCount;
    for (std::int32_t i = 0; i < n.vertexCount; ++i) {
        r.index = i;
        if (!makeRoom(vertices, i + 1)) return outOfMemory(r, n);
        Vertex& v = n.vertices[i];
        if (!readDouble(r, v.x) || !readDouble(r, v.y) || !readDouble(r, v.z)) return false;
    }
    r.record = Record::face;
    r.count = n.faceCount;
    for (std::int32_t j = 0; j < n.faceCount; ++j) {
        r.index = j;
        if (!makeRoom(corners, 3 * std::int64_t{j} + 3)) return outOfMemory(r, n);
        std::int32_t cornerCount = 0;  // read and never used: every face is a triangle
        Token token{};
        if (!readInt(r, cornerCount, token)) return false;
        for (int k = 0; k < 3; ++k)
            if (!readVertexIndex(r, n.vertexCount, n.corners[3 * std::int64_t{j} + k])) return false;
    }
    return true;
}

bool refuse(OffNumbers& n) {
    n = OffNumbers{};
    return false;
}

}  // namespace

bool readOffText(std::string_view text, std::string_view path, OffNumbers& numbers, std::string& error, int threads) {
    numbers = OffNumbers{};
    Reader r{path, error, text.data(), text.data(), text.data() + text.size()};
    Header at{};
    if (!readHeader(r, numbers, at)) return refuse(numbers);
    const bool endsAtNul = !text.empty() && text.back() == '\0';
    switch (checkRoom(r, at, numbers, endsAtNul)) {
        case Room::tooLittle: return refuse(numbers);
        case Room::cutByNul: return readRecords(r, numbers, 0, 0) || refuse(numbers);
        case Room::enough: break;
    }
    numbers.vertices = allocateWrittenTable<Vertex>(numbers.vertexCount);
    numbers.corners = allocateWrittenTable<std::int32_t>(3 * std::int64_t{numbers.faceCount});
    if ((numbers.vertexCount > 0 && !numbers.vertices) || (numbers.faceCount > 0 && !numbers.corners))
        return outOfMemory(r, numbers);
    if (parseRecordsFast({r.p, static_cast<std::size_t>(r.end - r.p)}, numbers, threads)) return true;
    return readRecords(r, numbers, numbers.vertexCount, 3 * std::int64_t{numbers.faceCount}) || refuse(numbers);
}

bool readOffStream(int fd, std::string_view path, OffNumbers& numbers, std::string& error) {
    numbers = OffNumbers{};
    // The token, the byte before it, and room to read into.
    constexpr std::size_t capacity = 2 * maxStreamToken + 1;
    Table<char> buffer = allocateTable<char>(capacity);
    if (!buffer) {
        Reader r{path, error, nullptr, nullptr, nullptr};
        return outOfMemory(r, numbers);
    }
    Stream stream{fd, buffer.get(), capacity};
    Reader r{path, error, buffer.get(), buffer.get(), buffer.get(), 0, &stream};
    Header at{};
    if (!readHeader(r, numbers, at)) return refuse(numbers);
    return readRecords(r, numbers, 0, 0) || refuse(numbers);
}
