#include "fit/off_reader.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "fit/off_common.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// The first word of the file, after white space and comments.
std::string_view firstWord(std::string_view bytes, std::size_t& end) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        if (isBlank(bytes[i]) || bytes[i] == '\n') {
            ++i;
        } else if (bytes[i] == '#') {
            while (i < bytes.size() && bytes[i] != '\n') ++i;
        } else {
            break;
        }
    }
    std::size_t j = i;
    while (j < bytes.size() && !isBlank(bytes[j]) && bytes[j] != '\n' && bytes[j] != '#' && bytes[j] != '\0') ++j;
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
    if (i < bytes.size() && !isBlank(bytes[i]) && bytes[i] != '\n') return false;
    headerLine = 1 + std::count(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(i), '\n');
    while (i < bytes.size() && bytes[i] != '\n') ++i;
    dataStart = std::min(i + 1, bytes.size());
    return true;
}

}  // namespace

bool startsWithOffKeyword(std::string_view bytes) {
    std::size_t end = 0;
    OffKeyword keyword;
    return parseOffKeyword(firstWord(bytes, end), keyword);
}

bool readOff(std::string_view bytes, std::string_view path, PolygonMesh& mesh, std::string& error) {
    OffKeyword keyword;
    std::size_t dataStart = 0;
    long long headerLine = 1;
    OffAttempt furthest;
    if (findBinaryData(bytes, keyword, dataStart, headerLine)) {
        // The format's own byte order and layout first. A reading that stops
        // short of the end is kept only in case no other reads it all.
        std::optional<PolygonMesh> partial;
        for (const auto& [bigEndian, colourCount] :
             {std::pair{true, true}, {false, true}, {true, false}, {false, false}}) {
            PolygonMesh candidate;
            const OffAttempt attempt =
                readOffBinary(bytes, dataStart, headerLine, keyword, path, bigEndian, colourCount, candidate);
            if (attempt.ok && attempt.reached == bytes.size()) {
                mesh = std::move(candidate);
                return true;
            }
            if (attempt.ok && !partial) partial = std::move(candidate);
            if (!attempt.ok && (furthest.error.empty() || attempt.reached > furthest.reached)) furthest = attempt;
        }
        if (partial) {
            mesh = std::move(*partial);
            return true;
        }
    } else {
        for (const bool recordPerLine : {false, true}) {
            PolygonMesh candidate;
            const OffAttempt attempt = readOffText(bytes, path, recordPerLine, candidate);
            if (attempt.ok) {
                mesh = std::move(candidate);
                return true;
            }
            if (furthest.error.empty() || attempt.reached >= furthest.reached) furthest = attempt;
        }
    }
    error = furthest.error;
    return false;
}
