#include "formats/stl_reader.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>

#include "formats/text_scan.h"
#include "mesh/join_positions.h"
#include "mesh/number_token.h"

namespace {

constexpr std::size_t headerBytes = 84, facetBytes = 50;

std::uint32_t littleEndian32(const char* at) {
    std::uint32_t w = 0;
    std::memcpy(&w, at, 4);
    return std::endian::native == std::endian::big ? __builtin_bswap32(w) : w;
}

float littleEndianFloat(const char* at) { return std::bit_cast<float>(littleEndian32(at)); }

bool isBinaryLength(std::string_view bytes) {
    return bytes.size() >= headerBytes &&
           bytes.size() - headerBytes == std::uint64_t{littleEndian32(bytes.data() + 80)} * facetBytes;
}

bool startsWithSolid(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size() && (isBlank(bytes[i]) || bytes[i] == '\n')) ++i;
    return sameWord(bytes.substr(i, 5), "solid") &&
           (i + 5 == bytes.size() || isBlank(bytes[i + 5]) || bytes[i + 5] == '\n');
}

bool readBinary(std::string_view bytes, std::string_view path, PolygonMesh& mesh, std::string& error) {
    const std::string where(path);
    if (bytes.size() < headerBytes) {
        error = where + ": header: expected the 84 bytes of a binary STL header, found " +
                std::to_string(bytes.size()) + " bytes";
        return false;
    }
    const std::uint32_t count = littleEndian32(bytes.data() + 80);
    if (!isBinaryLength(bytes)) {
        error = where + ": facet count (byte 80): expected a count that the " +
                std::to_string(bytes.size() - headerBytes) + " bytes after the header hold (50 a facet), found " +
                std::to_string(count);
        return false;
    }
    if (count == 0) {
        error = where + ": facet count (byte 80): expected at least one facet, found 0";
        return false;
    }
    mesh = PolygonMesh{};
    PositionIndex index;
    try {
        mesh.faceStart.resize(std::size_t{count} + 1);
        mesh.corners.resize(3 * std::size_t{count});
        reservePositions(index, count / 2 + 1);  // a closed mesh has about half as many vertices as facets
    } catch (const std::bad_alloc&) {
        mesh = PolygonMesh{};
        error = where + ": not enough memory for " + std::to_string(count) + " facets";
        return false;
    }
    for (std::size_t f = 0; f < count; ++f) {
        const char* facet = bytes.data() + headerBytes + f * facetBytes;
        for (std::size_t k = 0; k < 3; ++k) {
            const char* at = facet + 12 + 12 * k;
            const Vertex p{littleEndianFloat(at), littleEndianFloat(at + 4), littleEndianFloat(at + 8)};
            if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
                const double bad = !std::isfinite(p.x) ? p.x : !std::isfinite(p.y) ? p.y : p.z;
                error = where + ": facet " + std::to_string(f) + " of " + std::to_string(count) + " (byte " +
                        std::to_string(at - bytes.data()) + "): expected three finite coordinates for corner " +
                        std::to_string(k) + ", found " +
                        (std::isnan(bad) ? "nan"
                         : bad > 0       ? "inf"
                                         : "-inf");
                return false;
            }
            const std::int32_t v = addPosition(index, p);
            if (v < 0) {
                error = where + ": facet " + std::to_string(f) + " of " + std::to_string(count) +
                        ": expected at most 2147483647 distinct corners, found more";
                return false;
            }
            mesh.corners[3 * f + k] = v;
        }
        mesh.faceStart[f + 1] = static_cast<std::int64_t>(3 * f + 3);
    }
    mesh.vertices = std::move(index.positions);
    return true;
}

struct TextReader {
    TextScan scan;
    std::string_view path;
    std::string& error;
    std::int64_t facet = -1;  // the facet being read, for messages
};

bool fail(TextReader& r, const char* at, std::string_view expected) {
    r.error = std::string(r.path) + ":" + std::to_string(lineAt(r.scan, at)) + ": ";
    r.error += r.facet >= 0 ? "facet " + std::to_string(r.facet) : std::string("solid");
    r.error += ": expected ";
    r.error += expected;
    r.error += ", found " + foundAt(r.scan, at);
    return false;
}

bool expectWord(TextReader& r, std::string_view word) {
    const std::string_view token = nextToken(r.scan);
    if (sameWord(token, word)) return true;
    // Appended: GCC 12 at -O3 sees a false overlap (-Wrestrict) in "'" + word.
    std::string quoted(1, '\'');
    quoted += word;
    quoted += '\'';
    return fail(r, token.data(), quoted);
}

bool readCoordinate(TextReader& r, double& value) {
    const std::string_view token = nextToken(r.scan);
    if (token.empty() || parseDoubleToken(token.data(), token.data() + token.size(), value) != NumberStatus::ok)
        return fail(r, token.data(), "a number");
    if (!std::isfinite(value)) return fail(r, token.data(), "a finite number");
    return true;
}

// From "facet" to "endfacet": the normal's three tokens are skipped (writers
// put nan there for facets without area).
bool readFacet(TextReader& r, PositionIndex& index, PolygonMesh& mesh) {
    if (!expectWord(r, "normal")) return false;
    for (int k = 0; k < 3; ++k)
        if (nextToken(r.scan).empty()) return fail(r, r.scan.p, "the three numbers of the normal");
    if (!expectWord(r, "outer") || !expectWord(r, "loop")) return false;
    for (;;) {
        const std::string_view token = nextToken(r.scan);
        if (sameWord(token, "endloop")) break;
        if (!sameWord(token, "vertex")) return fail(r, token.data(), "'vertex' or 'endloop'");
        Vertex p{};
        if (!readCoordinate(r, p.x) || !readCoordinate(r, p.y) || !readCoordinate(r, p.z)) return false;
        const std::int32_t v = addPosition(index, p);
        if (v < 0) return fail(r, token.data(), "at most 2147483647 distinct corners");
        mesh.corners.push_back(v);
    }
    if (!expectWord(r, "endfacet")) return false;
    mesh.faceStart.push_back(static_cast<std::int64_t>(mesh.corners.size()));
    return true;
}

bool readText(std::string_view bytes, std::string_view path, PolygonMesh& mesh, std::string& error) {
    TextReader r{scanOf(bytes), path, error};
    mesh = PolygonMesh{};
    PositionIndex index;
    // A facet takes about 250 bytes, and closed meshes have half as many
    // vertices as facets: a first guess, grown as needed.
    reservePositions(index, bytes.size() / 512);
    std::string_view token = nextToken(r.scan);
    if (!sameWord(token, "solid")) return fail(r, token.data(), "'solid'");
    while (!token.empty()) {
        skipLine(r.scan);  // the solid's name
        for (;;) {
            token = nextToken(r.scan);
            if (sameWord(token, "endsolid")) break;
            if (!sameWord(token, "facet")) return fail(r, token.data(), "'facet' or 'endsolid'");
            r.facet = static_cast<std::int64_t>(mesh.faceCount());
            if (!readFacet(r, index, mesh)) return false;
            r.facet = -1;
        }
        skipLine(r.scan);
        token = nextToken(r.scan);
        if (!token.empty() && !sameWord(token, "solid")) return fail(r, token.data(), "'solid' or the end of the file");
    }
    if (mesh.faceCount() == 0) return fail(r, r.scan.end, "at least one facet");
    mesh.vertices = std::move(index.positions);
    return true;
}

}  // namespace

bool readStl(std::string_view bytes, std::string_view path, PolygonMesh& mesh, std::string& error) {
    if (startsWithSolid(bytes) && !isBinaryLength(bytes)) return readText(bytes, path, mesh, error);
    return readBinary(bytes, path, mesh, error);
}
