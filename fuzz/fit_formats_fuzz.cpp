// libFuzzer target for tarvexgl-fit's STL, PLY and OBJ readers, and for what
// follows a successful reading (triangulation, the safe range, the framing):
// the same bytes go through each reader. Besides what the sanitizers catch,
// every input is held to the readers' promises:
//   - a refusal is one line of text that starts with the file's name and
//     leaves no mesh behind;
//   - a mesh that is read has faces in order, every index in range and every
//     position finite; once in the safe range it is cut into triangles that
//     name its vertices (unless a polygon is refused), and framed to finite
//     positions;
//   - no single allocation exceeds what the input's length can justify.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "formats/obj_reader.h"
#include "formats/ply_reader.h"
#include "formats/stl_reader.h"
#include "fuzz/allocation_limit.h"
#include "geometry/framing.h"
#include "geometry/safe_range.h"
#include "geometry/triangulate.h"

namespace {

[[noreturn]] void violation(const char* reader, const char* what, std::string_view detail = {}) {
    std::fprintf(stderr, "fit_formats_fuzz: %s: %s%s%.*s\n", reader, what, detail.empty() ? "" : ": ",
                 static_cast<int>(detail.size()), detail.data());
    std::abort();
}

const std::string path = "fuzz.input";

void checkMesh(const char* reader, const PolygonMesh& mesh) {
    if (mesh.faceStart.empty() || mesh.faceStart.front() != 0 ||
        mesh.faceStart.back() != static_cast<std::int64_t>(mesh.corners.size()))
        violation(reader, "faces do not cover the corners");
    for (std::size_t f = 0; f + 1 < mesh.faceStart.size(); ++f)
        if (mesh.faceStart[f + 1] < mesh.faceStart[f]) violation(reader, "faces out of order");
    for (const std::int32_t c : mesh.corners)
        if (c < 0 || static_cast<std::size_t>(c) >= mesh.vertices.size()) violation(reader, "an index out of range");
    for (const Vertex& v : mesh.vertices)
        if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z))
            violation(reader, "a position not finite");
}

void checkLine(const char* reader, const std::string& error) {
    if (error.rfind(path + ":", 0) != 0) violation(reader, "a refusal that does not start with the name", error);
    if (error.find('\n') != std::string::npos) violation(reader, "a refusal of more than one line", error);
}

template <class Read>
void readAndFit(const char* reader, std::string_view bytes, Read read) {
    PolygonMesh mesh;
    std::string error;
    // The largest tables are a vertex (24 bytes) for every 3 bytes of binary
    // PLY and, once cut, the sweep's records for every corner a byte names: 64
    // bytes for each byte of input covers them all, and 1 MiB the fixed buffers.
    allocationLimit = 64 * bytes.size() + (std::size_t{1} << 20);
    bool ok = false;
    try {
        ok = read(bytes, path, mesh, error);
    } catch (const std::bad_alloc&) {
        violation(reader, "std::bad_alloc escaped the reader");
    }
    if (!ok) {
        allocationLimit = 0;
        checkLine(reader, error);
        return;
    }
    checkMesh(reader, mesh);
    scaleIntoSafeRange(mesh.vertices);
    std::vector<Triangle> triangles;
    const std::int64_t refused = triangulateMesh(mesh, triangles);
    allocationLimit = 0;
    if (refused >= 0) return;  // a polygon that crosses itself, too large to clip
    for (const Triangle& t : triangles)
        for (const std::int32_t v : t)
            if (v < 0 || static_cast<std::size_t>(v) >= mesh.vertices.size())
                violation(reader, "a triangle names a vertex that is not there");
    if (triangles.empty()) return;
    if (!frameForViewer(mesh.vertices, error)) violation(reader, "the framing refused a mesh in the safe range");
    for (const Vertex& v : mesh.vertices)
        if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z))
            violation(reader, "a framed position not finite");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    installAllocationCheck("fit_formats_fuzz");
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    readAndFit("stl", bytes, readStl);
    readAndFit("ply", bytes, readPly);
    readAndFit("obj", bytes, readObj);
    return 0;
}
