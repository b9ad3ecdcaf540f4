#include "formats/polygon_off.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "formats/polygon_off_readings.h"
#include "mesh/off_space.h"

namespace {

bool isBlank(char c) { return c != '\n' && isOffSpace(c); }

// The first word of the file, after white space and comments.
std::string_view firstWord(std::string_view bytes, std::size_t& end) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        if (isOffSpace(bytes[i])) {
            ++i;
        } else if (bytes[i] == '#') {
            while (i < bytes.size() && bytes[i] != '\n') ++i;
        } else {
            break;
        }
    }
    std::size_t j = i;
    while (j < bytes.size() && !isOffSpace(bytes[j]) && bytes[j] != '#' && bytes[j] != '\0') ++j;
    end = j;
    return bytes.substr(i, j - i);
}

// "OFF BINARY" (any keyword) on one line: where the binary data starts, just
// after that line.
bool findBinaryData(std::string_view bytes, OffKeyword& keyword, std::size_t& dataStart, long long& headerLine) {
    std::size_t i = 0;
    const std::string_view word = firstWord(bytes, i);
    if (!parseOffKeyword(word, keyword) || keyword.length != word.size()) return false;
    while (i < bytes.size() && isBlank(bytes[i])) ++i;
    if (bytes.substr(i, 6) != "BINARY") return false;
    i += 6;
    if (i < bytes.size() && !isOffSpace(bytes[i])) return false;
    headerLine = 1 + std::count(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(i), '\n');
    while (i < bytes.size() && bytes[i] != '\n') ++i;
    dataStart = std::min(i + 1, bytes.size());
    return true;
}

bool skipPrefix(std::string_view& rest, std::string_view prefix) {
    if (rest.substr(0, prefix.size()) != prefix) return false;
    rest.remove_prefix(prefix.size());
    return true;
}

// The format's own byte order and layout first. A reading with colour counts
// that stops short of the end is kept only in case no reading uses up the
// whole file.
OffAttempt readBinary(std::string_view bytes, std::string_view path, const OffKeyword& keyword, std::size_t dataStart,
                      long long headerLine, PolygonMesh& mesh) {
    OffAttempt furthest;
    std::optional<PolygonMesh> partial;
    for (const auto& [bigEndian, colourCount] : {std::pair{true, true}, {false, true}, {true, false}, {false, false}}) {
        PolygonMesh candidate;
        OffAttempt attempt =
            readPolygonOffBinary(bytes, dataStart, headerLine, keyword, path, bigEndian, colourCount, candidate);
        if (attempt.outOfMemory) return attempt;
        if (attempt.ok && attempt.reached == bytes.size()) {
            mesh = std::move(candidate);
            return attempt;
        }
        if (attempt.ok && !partial) partial = std::move(candidate);
        if (!attempt.ok && (furthest.error.empty() || attempt.reached > furthest.reached))
            furthest = std::move(attempt);
    }
    if (!partial) return furthest;
    mesh = std::move(*partial);
    OffAttempt kept;
    kept.ok = true;
    return kept;
}

// When both text readings fail, the one that got further says why; on a tie,
// the one that takes a record per line.
OffAttempt readText(std::string_view bytes, std::string_view path, PolygonMesh& mesh) {
    OffAttempt furthest;
    for (const bool recordPerLine : {false, true}) {
        PolygonMesh candidate;
        OffAttempt attempt = readPolygonOffText(bytes, path, recordPerLine, candidate);
        if (attempt.ok) mesh = std::move(candidate);
        if (attempt.ok || attempt.outOfMemory) return attempt;
        if (furthest.error.empty() || attempt.reached >= furthest.reached) furthest = std::move(attempt);
    }
    return furthest;
}

}  // namespace

bool parseOffKeyword(std::string_view token, OffKeyword& keyword) {
    std::string_view rest = token;
    OffKeyword k;
    k.texture = skipPrefix(rest, "ST");
    k.colour = skipPrefix(rest, "C");
    k.normal = skipPrefix(rest, "N");
    k.homogeneous = skipPrefix(rest, "4");
    k.dimension = skipPrefix(rest, "n");
    if (!skipPrefix(rest, "OFF")) return false;
    k.length = token.size() - rest.size();
    keyword = k;
    return true;
}

bool startsWithOffKeyword(std::string_view bytes) {
    std::size_t end = 0;
    OffKeyword keyword;
    return parseOffKeyword(firstWord(bytes, end), keyword);
}

bool readPolygonOff(std::string_view bytes, std::string_view path, PolygonMesh& mesh, std::string& error) {
    OffKeyword keyword;
    std::size_t dataStart = 0;
    long long headerLine = 1;
    mesh = PolygonMesh{};
    OffAttempt attempt = findBinaryData(bytes, keyword, dataStart, headerLine)
                             ? readBinary(bytes, path, keyword, dataStart, headerLine, mesh)
                             : readText(bytes, path, mesh);
    if (attempt.ok) return true;
    error = std::move(attempt.error);
    return false;
}
