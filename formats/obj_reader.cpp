#include "formats/obj_reader.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>

#include "formats/text_scan.h"
#include "mesh/join_positions.h"
#include "mesh/number_token.h"

namespace {

struct ObjReader {
    TextScan scan;
    std::string_view path;
    std::string& error;
    std::string_view statement;  // for messages
};

bool fail(ObjReader& r, const char* at, std::string_view expected) {
    r.error = std::string(r.path) + ":" + std::to_string(lineAt(r.scan, at)) + ": " + std::string(r.statement) +
              ": expected ";
    r.error += expected;
    r.error += ", found " + foundAt(r.scan, at);
    return false;
}

// Whether only blanks are left on the line.
bool atLineEnd(TextScan& scan) {
    while (scan.p != scan.end && isBlank(*scan.p)) ++scan.p;
    return scan.p == scan.end || *scan.p == '\n';
}

// The statement's next token, empty at its end: a backslash that ends a line
// carries the statement on to the next, and a comment ends it.
std::string_view objToken(TextScan& scan) {
    for (;;) {
        std::string_view token = tokenOnLine(scan);
        if (!token.empty() && token.front() == '#') {
            scan.p = std::find(scan.p, scan.end, '\n');
            return {scan.p, scan.p};
        }
        if (token.empty() || token.back() != '\\' || !atLineEnd(scan)) return token;
        skipLine(scan);
        token.remove_suffix(1);
        if (!token.empty()) return token;
    }
}

bool readVertex(ObjReader& r, std::vector<Vertex>& vertices) {
    if (vertices.size() == viewerCountLimit) return fail(r, r.statement.data(), "at most 2147483647 vertices");
    double c[3];
    for (double& value : c) {
        const std::string_view token = objToken(r.scan);
        if (token.empty() || parseDoubleToken(token.data(), token.data() + token.size(), value) != NumberStatus::ok)
            return fail(r, token.data(), "a number");
        if (!std::isfinite(value)) return fail(r, token.data(), "a finite number");
    }
    for (std::string_view token = objToken(r.scan); !token.empty(); token = objToken(r.scan)) {
        double ignored = 0;
        if (parseDoubleToken(token.data(), token.data() + token.size(), ignored) != NumberStatus::ok)
            return fail(r, token.data(), "a number or the end of the line");
    }
    vertices.push_back({c[0], c[1], c[2]});
    return true;
}

// A texture or normal index after a slash: empty or an integer (not kept).
bool isIndexOrEmpty(std::string_view part) {
    std::int32_t ignored = 0;
    return part.empty() || parseIntToken(part.data(), part.data() + part.size(), ignored) == NumberStatus::ok;
}

struct Forward {
    std::int64_t index = -1;  // the largest index past the vertices read so far
    const char* at = nullptr;
};

bool readFace(ObjReader& r, PolygonMesh& mesh, Forward& forward) {
    const auto count = static_cast<std::int64_t>(mesh.vertices.size());
    for (std::string_view token = objToken(r.scan); !token.empty(); token = objToken(r.scan)) {
        const std::size_t slash = std::min(token.find('/'), token.size());
        const std::string_view number = token.substr(0, slash);
        std::string_view rest = token.substr(std::min(slash + 1, token.size()));
        const std::size_t second = std::min(rest.find('/'), rest.size());
        const bool extrasOk = isIndexOrEmpty(rest.substr(0, second)) &&
                              isIndexOrEmpty(rest.substr(std::min(second + 1, rest.size()))) &&
                              rest.substr(std::min(second + 1, rest.size())).find('/') == std::string_view::npos;
        std::int32_t index = 0;
        if (number.empty() || !extrasOk ||
            parseIntToken(number.data(), number.data() + number.size(), index) != NumberStatus::ok || index == 0 ||
            (index < 0 && -static_cast<std::int64_t>(index) > count))
            return fail(r, token.data(),
                        count == 0 ? std::string("a vertex index after a 'v'")
                                   : "a vertex index in 1.." + std::to_string(count) + " or -" + std::to_string(count) +
                                         "..-1");
        const std::int64_t vertex = index > 0 ? index - 1 : count + index;
        // A later v may still supply it; checked once the file is read.
        if (vertex >= count && vertex > forward.index) forward = {vertex, token.data()};
        mesh.corners.push_back(static_cast<std::int32_t>(vertex));
    }
    mesh.faceStart.push_back(static_cast<std::int64_t>(mesh.corners.size()));
    return true;
}

// How many lines start with "v " and with "f ", to size the tables once.
void countStatements(std::string_view bytes, std::size_t& vertices, std::size_t& faces) {
    vertices = faces = 0;
    for (std::size_t i = 0; i + 1 < bytes.size();) {
        if (isBlank(bytes[i + 1])) {
            vertices += bytes[i] == 'v';
            faces += bytes[i] == 'f';
        }
        const std::size_t next = bytes.find('\n', i);
        if (next == std::string_view::npos) break;
        i = next + 1;
    }
}

}  // namespace

bool readObj(std::string_view bytes, std::string_view path, PolygonMesh& mesh, std::string& error) {
    ObjReader r{scanOf(bytes), path, error, {}};
    mesh = PolygonMesh{};
    std::size_t vertexLines = 0, faceLines = 0;
    countStatements(bytes, vertexLines, faceLines);
    try {
        mesh.vertices.reserve(std::min(vertexLines, viewerCountLimit));
        mesh.faceStart.reserve(faceLines + 1);
        mesh.corners.reserve(std::min(3 * faceLines, bytes.size() / 2));  // a corner takes 2 bytes or more
    } catch (const std::bad_alloc&) {
        mesh = PolygonMesh{};
        error = std::string(path) + ": not enough memory for " + std::to_string(vertexLines) + " vertices and " +
                std::to_string(faceLines) + " faces";
        return false;
    }
    Forward forward;
    while (r.scan.p != r.scan.end) {
        r.statement = objToken(r.scan);
        if (r.statement == "v") {
            if (!readVertex(r, mesh.vertices)) return false;
        } else if (r.statement == "f") {
            if (!readFace(r, mesh, forward)) return false;
        } else {
            while (!objToken(r.scan).empty()) {
            }
        }
        skipLine(r.scan);
    }
    if (forward.index >= static_cast<std::int64_t>(mesh.vertices.size())) {
        r.statement = "f";
        return fail(r, forward.at, "a vertex index in 1.." + std::to_string(mesh.vertices.size()));
    }
    if (mesh.faceCount() == 0) {
        r.statement = "file";
        return fail(r, r.scan.end, "at least one 'f' statement");
    }
    joinIdenticalPositions(mesh);
    return true;
}
