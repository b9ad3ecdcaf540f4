// libFuzzer target for tarvexgl-fit's OFF reader (text and binary): the bytes
// of a file go to readPolygonOff. Besides what the sanitizers catch, every
// input is held to the reader's promises:
//   - a refused file gets one line of printable text naming the file, and
//     the mesh is left empty;
//   - an accepted mesh has at least one face, finite coordinates, and corner
//     lists that fit together and name existing vertices;
//   - no single allocation exceeds what the input's length can justify;
//   - a text the viewer's reader takes, in the layout both readers share
//     (keyword OFF, triangles, no comments, nothing after the last face),
//     gives the same vertices, bit for bit, and the same triangles.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "formats/polygon_off.h"
#include "fuzz/allocation_limit.h"
#include "mesh/number_token.h"
#include "mesh/off_reader.h"
#include "mesh/off_space.h"

namespace {

[[noreturn]] void violation(const char* what, std::string_view detail = {}) {
    std::fprintf(stderr, "polygon_off_fuzz: %s%s%.*s\n", what, detail.empty() ? "" : ": ",
                 static_cast<int>(detail.size()), detail.data());
    std::abort();
}

// The biggest blocks: the corner list reserved for three corners a face (12
// bytes for each face, which takes at least 2 bytes of text), and the vertex
// table (24 bytes for at least 6 bytes of text or 12 of binary). The error
// text and a token copied for strtod are smaller.
std::size_t allocationLimitFor(std::size_t inputSize) { return 6 * inputSize + 4096; }

void checkRefusal(const PolygonMesh& mesh, const std::string& error) {
    if (!mesh.vertices.empty() || !mesh.corners.empty() || mesh.faceCount() != 0)
        violation("a refused file left a mesh behind");
    if (error.rfind("fuzz.off:", 0) != 0) violation("the error does not start with the file name", error);
    for (const char c : error)
        if (c < 0x20 || c > 0x7e) violation("the error holds a byte that is not printable", error);
}

void checkAcceptance(const PolygonMesh& mesh) {
    if (mesh.faceCount() == 0) violation("a mesh without faces was accepted");
    for (const Vertex& v : mesh.vertices)
        if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z)) violation("a coordinate is not finite");
    if (mesh.faceStart.front() != 0 || static_cast<std::size_t>(mesh.faceStart.back()) != mesh.corners.size())
        violation("the face starts do not span the corners");
    for (std::size_t f = 0; f < mesh.faceCount(); ++f)
        if (mesh.faceStart[f + 1] < mesh.faceStart[f]) violation("a face ends before it starts");
    for (const std::int32_t index : mesh.corners)
        if (index < 0 || static_cast<std::size_t>(index) >= mesh.vertices.size())
            violation("a corner names no vertex", std::to_string(index));
}

// Whether `text` keeps to the layout both readers read alike: keyword OFF,
// no comment and no NUL byte, every face "3 a b c", and nothing but white
// space after the last face record (the viewer never looks there).
bool inSharedLayout(std::string_view text, const OffNumbers& numbers) {
    if (text.find_first_of(std::string_view("#\0", 2)) != std::string_view::npos) return false;
    std::size_t at = 0;
    auto next = [&text, &at](std::string_view& token) {
        while (at < text.size() && isOffSpace(text[at])) ++at;
        const std::size_t first = at;
        while (at < text.size() && !isOffSpace(text[at])) ++at;
        token = text.substr(first, at - first);
        return !token.empty();
    };
    std::string_view token;
    if (!next(token) || token != "OFF") return false;
    const std::int64_t before = 3 + 3 * std::int64_t{numbers.vertexCount};
    for (std::int64_t i = 0; i < before; ++i) next(token);
    for (std::int32_t j = 0; j < numbers.faceCount; ++j) {
        std::int32_t cornerCount = 0;
        if (!next(token) || parseIntToken(token.data(), token.data() + token.size(), cornerCount) != NumberStatus::ok ||
            cornerCount != 3)
            return false;
        for (int k = 0; k < 3; ++k) next(token);
    }
    if (next(token)) return false;
    for (std::int32_t i = 0; i < numbers.vertexCount; ++i) {
        const Vertex& v = numbers.vertices[i];
        if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z)) return false;
    }
    return numbers.faceCount > 0;
}

void checkAgainstViewer(std::string_view text, bool accepted, const PolygonMesh& mesh) {
    OffNumbers numbers;
    std::string error;
    if (!readOffText(text, "fuzz.off", numbers, error, 1) || !inSharedLayout(text, numbers)) return;
    if (!accepted) violation("refused a file the viewer reads alike");
    if (mesh.vertices.size() != static_cast<std::size_t>(numbers.vertexCount) ||
        mesh.faceCount() != static_cast<std::size_t>(numbers.faceCount) ||
        mesh.corners.size() != 3 * static_cast<std::size_t>(numbers.faceCount))
        violation("counts differ from the viewer's");
    if (numbers.vertexCount > 0 &&
        std::memcmp(mesh.vertices.data(), numbers.vertices.get(), sizeof(Vertex) * mesh.vertices.size()) != 0)
        violation("a position differs from the viewer's");
    if (std::memcmp(mesh.corners.data(), numbers.corners.get(), sizeof(std::int32_t) * mesh.corners.size()) != 0)
        violation("a corner differs from the viewer's");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    installAllocationCheck("polygon_off_fuzz");

    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    PolygonMesh mesh;
    std::string error;
    allocationLimit = allocationLimitFor(size);
    const bool accepted = readPolygonOff(bytes, "fuzz.off", mesh, error);
    allocationLimit = 0;
    if (accepted) {
        checkAcceptance(mesh);
    } else {
        checkRefusal(mesh, error);
    }
    checkAgainstViewer(bytes, accepted, mesh);
    return 0;
}
