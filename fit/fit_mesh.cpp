#include "fit/fit_mesh.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "fit/framing.h"
#include "fit/off_reader.h"
#include "fit/other_formats.h"
#include "fit/read_file.h"
#include "fit/safe_range.h"
#include "fit/triangulate.h"

namespace {

bool hasExtension(const std::string& path, std::string_view extension) {
    if (path.size() < extension.size()) return false;
    return std::equal(extension.begin(), extension.end(), path.end() - static_cast<std::ptrdiff_t>(extension.size()),
                      [](char a, char b) { return a == (b >= 'A' && b <= 'Z' ? b - 'A' + 'a' : b); });
}

// The first few kilobytes are enough to see an OFF keyword behind comments.
bool startsAsOff(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    char head[4096];
    const std::size_t n = std::fread(head, 1, sizeof head, file);
    std::fclose(file);
    return startsWithOffKeyword(std::string_view(head, n));
}

constexpr auto indexLimit = static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());

}  // namespace

// Only a regular file is looked into first: a pipe would lose what was read.
// A pipe or device is read as OFF, the one format read as a stream here.
bool isOffFile(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode)) return true;
    return hasExtension(path, ".off") || startsAsOff(path);
}

UpAxis defaultUpAxis(const std::string& path) {
    return isOffFile(path) || hasExtension(path, ".stl") ? UpAxis::z : UpAxis::y;
}

bool readMeshFile(const std::string& path, PolygonMesh& mesh, std::string& error) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        error = path + ": cannot open: " + std::strerror(errno);
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        error = path + ": cannot open: " + std::strerror(EISDIR);
        return false;
    }
    if (!isOffFile(path)) return readOtherFormat(path, mesh, error);
    WholeFile bytes;
    if (!readWholeFile(path, bytes, error)) {
        error = path + ": " + error;
        return false;
    }
    return readOff(bytes.text(), path, mesh, error);
}

bool fitPolygons(const PolygonMesh& mesh, UpAxis up, const std::string& path, TriangleMesh& fitted,
                 std::string& error) {
    fitted = TriangleMesh{};
    std::size_t dropped = 0;
    const std::int64_t refused = triangulateMesh(mesh, fitted.triangles, dropped);
    if (refused >= 0) {
        const auto f = static_cast<std::size_t>(refused);
        error = path + ": face " + std::to_string(refused) + " of " + std::to_string(mesh.faceCount()) +
                ": expected a polygon that does not cross itself, or one of at most " +
                std::to_string(maxClippedCorners) + " corners, found one of " +
                std::to_string(mesh.faceStart[f + 1] - mesh.faceStart[f]) + " corners that crosses or touches itself";
        return false;
    }
    if (fitted.triangles.empty()) {
        error = path + ": no face with three or more corners: expected a mesh with a surface, found " +
                std::to_string(mesh.faceCount()) + " faces of fewer corners";
        return false;
    }
    if (fitted.triangles.size() > indexLimit) {
        error = path + ": " + std::to_string(fitted.triangles.size()) +
                " triangles: expected at most 2147483647, the most the viewer counts";
        return false;
    }
    // New numbers for the vertices some triangle names, in file order.
    std::vector<std::int32_t> renumber(mesh.vertices.size(), -1);
    for (const Triangle& t : fitted.triangles)
        for (std::int32_t v : t) renumber[static_cast<std::size_t>(v)] = 0;
    std::int32_t next = 0;
    for (std::size_t v = 0; v < renumber.size(); ++v)
        if (renumber[v] == 0) {
            renumber[v] = next++;
            fitted.vertices.push_back(turnUp(mesh.vertices[v], up));
        }
    for (Triangle& t : fitted.triangles)
        for (std::int32_t& v : t) v = renumber[static_cast<std::size_t>(v)];

    applyFraming(frameForViewer(fitted.vertices), fitted.vertices);
    for (const Vertex& v : fitted.vertices)
        if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z)) {
            error = path + ": coordinates too large to scale: expected a mesh less than about 1e300 across";
            return false;
        }
    return true;
}

bool fitMeshFile(const std::string& path, std::optional<UpAxis> up, TriangleMesh& fitted, std::string& error) {
    PolygonMesh mesh;
    if (!readMeshFile(path, mesh, error)) return false;
    scaleIntoSafeRange(mesh.vertices);
    return fitPolygons(mesh, up.value_or(defaultUpAxis(path)), path, fitted, error);
}
