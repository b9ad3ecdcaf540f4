#include "mesh/off_reader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "mesh/file_bytes.h"
#include "mesh/off_cursor.h"
#include "mesh/off_fast_reader.h"
#include "mesh/off_space.h"
#include "mesh/quoted_token.h"
#include "mesh/workers.h"

namespace {

constexpr std::size_t maxKeywordLength = 11;  // what a "%s" into char[12] can hold

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

// The cursor over the bytes held: the whole text, or a stream's buffer.
struct Reader {
    OffCursor c;
    Stream* stream = nullptr;  // null: the whole text is held
};

// Lets go of the stream's bytes before `keep` (but the one just before it,
// which tells the line of an end of file) and reads what the stream has
// ready after the rest. Pointers into the buffer, `keep` among them, move
// with the bytes.
More readMore(Reader& r, const char*& keep) {
    Stream* s = r.stream;
    OffCursor& c = r.c;
    if (!s || s->ended) return More::ended;
    const char* from = keep != c.begin ? keep - 1 : keep;
    c.linesBefore += std::count(c.begin, from, '\n');
    const auto held = static_cast<std::size_t>(c.end - from);
    const std::ptrdiff_t shift = from - s->buffer;
    std::memmove(s->buffer, from, held);
    c.begin = s->buffer;
    c.p -= shift;
    keep -= shift;
    c.end = s->buffer + held;
    const long long n = readSome(s->fd, s->buffer + held, s->capacity - held);
    if (n <= 0) {
        s->ended = true;  // a read error ends the stream as its end does
        return More::ended;
    }
    c.end += n;
    return More::read;
}

bool nextToken(Reader& r, std::string_view expected, std::string_view& token) {
    OffCursor& c = r.c;
    for (;;) {
        while (c.p != c.end && isOffSpace(*c.p)) ++c.p;
        if (c.p != c.end) break;
        const char* keep = c.p;
        if (readMore(r, keep) != More::read) return failAt(c, c.p, expected, "end of file");
    }
    const char* first = c.p;
    const char* last = first;
    auto tooLong = [&r, &first, &last] { return r.stream && static_cast<std::size_t>(last - first) > maxStreamToken; };
    for (;;) {
        while (last != c.end && !isOffSpace(*last) && *last != '\0') ++last;
        if (last != c.end || tooLong()) break;
        const std::ptrdiff_t length = last - first;
        const More more = readMore(r, first);
        last = first + length;
        if (more != More::read) break;
    }
    if (tooLong())
        return failAt(c, first, expected,
                      quoteTokenStart({first, static_cast<std::size_t>(last - first)}) + " (more than " +
                          std::to_string(maxStreamToken) + " bytes)");
    if (last != c.end && *last == '\0') return failAt(c, last, expected, "a NUL byte");
    token = {first, static_cast<std::size_t>(last - first)};
    c.p = last;
    return true;
}

bool readInteger(Reader& r, std::int32_t& value) {
    std::string_view token;
    return nextToken(r, "an integer", token) && takeInteger(r.c, token, value);
}

bool readNumber(Reader& r, double& value) {
    std::string_view token;
    return nextToken(r, "a number", token) && takeNumber(r.c, token, value);
}

// A count, and where it stands (valid while the whole text is held).
bool readCount(Reader& r, OffRecord record, std::int32_t& count, const char*& at) {
    r.c.record = record;
    std::string_view token;
    if (!nextToken(r, "an integer", token) || !takeCount(r.c, token, count)) return false;
    at = token.data();
    return true;
}

bool readVertexIndex(Reader& r, std::int32_t vertexCount, std::int32_t& index) {
    std::string_view token;
    return nextToken(r, "an integer", token) && takeVertexIndex(r.c, token, vertexCount, index);
}

bool readHeader(Reader& r, OffNumbers& n, OffCounts& counts) {
    std::string_view keyword;
    if (!nextToken(r, "a keyword", keyword)) return false;
    if (keyword.size() > maxKeywordLength)
        return failAt(r.c, keyword.data(), "a keyword of at most 11 characters", quoteToken(keyword));
    if (!readCount(r, OffRecord::vertexCount, n.vertexCount, counts.vertexCountAt)) return false;
    if (!readCount(r, OffRecord::faceCount, n.faceCount, counts.faceCountAt)) return false;
    counts.vertexCount = n.vertexCount;
    counts.faceCount = n.faceCount;
    r.c.record = OffRecord::edgeCount;
    std::int32_t edgeCount = 0;
    return readInteger(r, edgeCount);
}

// Every number takes at least one character and one separator before it: a
// vertex record at least 6 bytes, a face record 8.
constexpr unsigned minVertexBytes = 6, minFaceBytes = 8;

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

// The line for tables that cannot be had, once everything is let go: it
// goes into the room loadModel reserved in the error (see setOutOfMemory).
bool outOfMemory(OffCursor& c, OffNumbers& n) {
    const std::int32_t vertexCount = n.vertexCount, faceCount = n.faceCount;
    n = OffNumbers{};
    setOutOfMemory(c.error, c.path, vertexCount, faceCount);
    return false;
}

// The records one token at a time, into tables that hold `held` entries and
// grow as needed.
bool readRecords(Reader& r, OffNumbers& n, std::int64_t heldVertices, std::int64_t heldCorners) {
    Growing<Vertex> vertices{n.vertices, heldVertices, n.vertexCount};
    Growing<std::int32_t> corners{n.corners, heldCorners, 3 * std::int64_t{n.faceCount}};
    r.c.record = OffRecord::vertex;
    r.c.count = n.vertexCount;
    for (std::int32_t i = 0; i < n.vertexCount; ++i) {
        r.c.index = i;
        if (!makeRoom(vertices, i + 1)) return outOfMemory(r.c, n);
        Vertex& v = n.vertices[i];
        if (!readNumber(r, v.x) || !readNumber(r, v.y) || !readNumber(r, v.z)) return false;
    }
    r.c.record = OffRecord::face;
    r.c.count = n.faceCount;
    for (std::int32_t j = 0; j < n.faceCount; ++j) {
        r.c.index = j;
        if (!makeRoom(corners, 3 * std::int64_t{j} + 3)) return outOfMemory(r.c, n);
        std::int32_t cornerCount = 0;  // read and never used: every face is a triangle
        if (!readInteger(r, cornerCount)) return false;
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
    Reader r{{path, error, text.data(), text.data(), text.data() + text.size()}};
    OffCounts counts;
    if (!readHeader(r, numbers, counts)) return refuse(numbers);
    // Bytes after a NUL byte do not count: the text ends there. A text whose
    // records then run into the NUL byte is read with growing tables, and the
    // reader says so at the NUL byte.
    const bool endsAtNul = !text.empty() && text.back() == '\0';
    const auto room = static_cast<std::uint64_t>(r.c.end - r.c.p) - (endsAtNul ? 1 : 0);
    if (endsAtNul && !roomHolds(room, counts, minVertexBytes, minFaceBytes))
        return readRecords(r, numbers, 0, 0) || refuse(numbers);
    if (!checkRoom(r.c, room, counts, minVertexBytes, minFaceBytes)) return refuse(numbers);
    numbers.vertices = allocateWrittenTable<Vertex>(numbers.vertexCount);
    numbers.corners = allocateWrittenTable<std::int32_t>(3 * std::int64_t{numbers.faceCount});
    if ((numbers.vertexCount > 0 && !numbers.vertices) || (numbers.faceCount > 0 && !numbers.corners))
        return outOfMemory(r.c, numbers);
    if (parseRecordsFast({r.c.p, static_cast<std::size_t>(r.c.end - r.c.p)}, numbers, threads)) return true;
    return readRecords(r, numbers, numbers.vertexCount, 3 * std::int64_t{numbers.faceCount}) || refuse(numbers);
}

bool readOffStream(int fd, std::string_view path, OffNumbers& numbers, std::string& error) {
    numbers = OffNumbers{};
    // The token, the byte before it, and room to read into.
    constexpr std::size_t capacity = 2 * maxStreamToken + 1;
    Table<char> buffer = allocateTable<char>(capacity);
    OffCursor c{path, error, buffer.get(), buffer.get(), buffer.get()};
    if (!buffer) return outOfMemory(c, numbers);
    Stream stream{fd, buffer.get(), capacity};
    Reader r{c, &stream};
    OffCounts counts;
    if (!readHeader(r, numbers, counts)) return refuse(numbers);
    return readRecords(r, numbers, 0, 0) || refuse(numbers);
}
