#include "mesh/off_fast_reader.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "mesh/number_token.h"
#include "mesh/off_space.h"
#include "mesh/workers.h"

// The sequential reader in off_reader.cpp stays the authority: whenever the
// fast way meets anything it does not expect, it gives up and the sequential
// reader goes over the same text, so every message, and every value, is the
// one it gives.
//
// Tokens are scanned and converted in one pass. A decimal number of at most
// 19 digits with the value m * 10^e, m <= 2^53 and |e| <= 22, needs no more:
// m and 10^|e| are exact doubles and one multiplication or division rounds
// their product or quotient correctly, which is what strtod does. Anything else
// (more digits, a large exponent, hexadecimal, inf, junk) goes through
// parseDoubleToken. Integers take digits only; signs and overflow go through
// parseIntToken.
//
// The body is cut into chunks at white space, several per thread. The tokens
// of every chunk but the last are counted first, so that each chunk knows
// which record its first token belongs to; then the chunks are parsed in any
// order.
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

constexpr double exactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                       1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The end of the token at p, or nullptr when a NUL byte ends it.
const char* tokenEnd(const char* p, const char* end) {
    while (p != end && !isOffSpace(*p) && *p != '\0') ++p;
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
    if (plain && (s == end || isOffSpace(*s)) && mantissa <= (std::uint64_t{1} << 53) && scale >= -22 && scale <= 22) {
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
    if (digits > 0 && (s == end || isOffSpace(*s)) && magnitude <= INT32_MAX) {
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
std::int64_t parseChunk(OffNumbers& n, const char* p, const char* end, std::int64_t index) {
    const std::int64_t vertexTokens = 3 * std::int64_t{n.vertexCount};
    const std::int64_t needed = vertexTokens + 4 * std::int64_t{n.faceCount};
    auto nextToken = [&p, end] {
        while (p != end && isOffSpace(*p)) ++p;
        return p != end;
    };
    if (index < vertexTokens) {
        std::int64_t i = index / 3;
        int c = static_cast<int>(index % 3);
        for (; i < n.vertexCount; ++index) {
            if (!nextToken()) return index;
            if (!scanDouble(p, end, n.vertices[i].*coordinate[c])) return -1;
            if (++c == 3) c = 0, ++i;
        }
    }
    if (index >= needed) return index;
    std::int64_t j = (index - vertexTokens) / 4;
    int field = static_cast<int>((index - vertexTokens) % 4);
    for (; j < n.faceCount; ++index) {
        if (!nextToken()) return index;
        std::int32_t value = 0;
        if (!scanInt(p, end, value)) return -1;
        if (field == 0) {
            ++field;  // the corner count, read and never used
            continue;
        }
        if (value < 0 || value >= n.vertexCount) return -1;
        n.corners[3 * j + field - 1] = value;
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
    for (; p != end; ++p) count += !isOffSpace(*p) && isOffSpace(p[-1]);
    return count;
}

// Chunks per thread: enough that a thread kept waiting by the system costs
// the others little.
constexpr int chunksPerThread = 4;
constexpr std::int64_t bytesPerExtraThread = 2 << 20;

}  // namespace

// The body follows the edge count, so the byte before it is readable, as
// countTokens needs.
bool parseRecordsFast(std::string_view body, OffNumbers& numbers, int threads) {
    const char* begin = body.data();
    const char* end = begin + body.size();
    const auto size = static_cast<std::int64_t>(body.size());
    const int workers = threadsFor(size, bytesPerExtraThread, threads);
    const int chunks = workers == 1 ? 1 : workers * chunksPerThread;
    Table<const char*> cut = allocateTable<const char*>(chunks + 1);
    Table<std::int64_t> firstToken = allocateTable<std::int64_t>(chunks);
    Table<std::int64_t> reached = allocateTable<std::int64_t>(chunks);
    if (!cut || !firstToken || !reached) return false;  // the sequential reader needs no memory
    cut[0] = begin;
    for (int c = 1; c <= chunks; ++c) {
        const char* at = c == chunks ? end : std::max(cut[c - 1], begin + size * c / chunks);
        while (at != end && !isOffSpace(at[-1])) ++at;
        cut[c] = at;
    }
    firstToken[0] = 0;
    shareOut(workers, chunks - 1, [&](std::int64_t c) { firstToken[c + 1] = countTokens(cut[c], cut[c + 1]); });
    for (int c = 1; c < chunks; ++c) firstToken[c] += firstToken[c - 1];

    shareOut(workers, chunks,
             [&](std::int64_t c) { reached[c] = parseChunk(numbers, cut[c], cut[c + 1], firstToken[c]); });
    // The last chunk ends where the text does, so it reaches every token the
    // body needs, or the text ends too early.
    const std::int64_t needed = 3 * std::int64_t{numbers.vertexCount} + 4 * std::int64_t{numbers.faceCount};
    for (int c = 0; c < chunks; ++c)
        if (reached[c] < 0) return false;
    return reached[chunks - 1] >= needed;
}
