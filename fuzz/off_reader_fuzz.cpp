// libFuzzer target for the OFF reader: the bytes of a file go through the
// viewer's own load (loadModel, from a file in memory), and a refusal returns
// here instead of ending the process. Besides what the sanitizers catch, every input is held to the
// reader's promises:
//   - a refused file gets one line of printable text naming the file, and
//     the model is left empty;
//   - a file is accepted exactly when an independent reading of the same
//     bytes (split at white space, then strtol and strtod) accepts it, and
//     then every count, position and index agrees with that reading, bit for
//     bit;
//   - no single allocation exceeds what the input's length can justify;
//   - the same bytes through a pipe (the reader's stream path) are accepted
//     or refused alike, with the same numbers, and a refusal is one line
//     for the same place whenever the text's is not about room.
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/allocation_limit.h"
#include "mesh/model.h"
#include "mesh/off_reader.h"

namespace {

[[noreturn]] void violation(const char* what, std::string_view detail = {}) {
    std::fprintf(stderr, "off_reader_fuzz: %s%s%.*s\n", what, detail.empty() ? "" : ": ",
                 static_cast<int>(detail.size()), detail.data());
    std::abort();
}

// The biggest block is the face table: one Face (184 bytes) for each 8 bytes
// a face record needs at least, so 23 times the input. The rest (the vertex
// table, the error text, one token copied for strtod) is smaller than that.
std::size_t allocationLimitFor(std::size_t inputSize) { return sizeof(Face) * (inputSize / 8) + inputSize + 4096; }

// ---- the independent reading ----

bool isCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

struct TokenStream {
    std::string_view rest;
};

// The next white-space-delimited token, or nothing at the end of the text.
bool nextToken(TokenStream& s, std::string_view& token) {
    std::size_t i = 0;
    while (i < s.rest.size() && isCSpace(s.rest[i])) ++i;
    if (i == s.rest.size()) return false;
    std::size_t j = i;
    while (j < s.rest.size() && !isCSpace(s.rest[j])) ++j;
    token = s.rest.substr(i, j - i);
    s.rest.remove_prefix(j);
    return true;
}

// A token holding a NUL byte is refused whatever the C library would make of
// the text before it.
bool referenceInt(TokenStream& s, std::int32_t& value) {
    std::string_view token;
    if (!nextToken(s, token) || token.find('\0') != std::string_view::npos) return false;
    const std::string copy(token);
    char* end = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(copy.c_str(), &end, 10);
    if (end != copy.c_str() + copy.size() || errno == ERANGE || parsed < INT32_MIN || parsed > INT32_MAX) return false;
    value = static_cast<std::int32_t>(parsed);
    return true;
}

bool referenceDouble(TokenStream& s, double& value) {
    std::string_view token;
    if (!nextToken(s, token) || token.find('\0') != std::string_view::npos) return false;
    const std::string copy(token);
    char* end = nullptr;
    value = std::strtod(copy.c_str(), &end);
    return end == copy.c_str() + copy.size();
}

struct Reference {
    std::int32_t vertexCount = 0, faceCount = 0;
    std::vector<double> coordinates;    // x y z of each vertex
    std::vector<std::int32_t> indices;  // a b c of each face
};

bool readReference(std::string_view text, Reference& ref) {
    TokenStream s{text};
    std::string_view keyword;
    if (!nextToken(s, keyword) || keyword.size() > 11 || keyword.find('\0') != std::string_view::npos) return false;
    std::int32_t edgeCount = 0;
    if (!referenceInt(s, ref.vertexCount) || !referenceInt(s, ref.faceCount) || !referenceInt(s, edgeCount))
        return false;
    if (ref.vertexCount < 0 || ref.faceCount < 0) return false;
    for (std::int64_t i = 0; i < 3 * std::int64_t{ref.vertexCount}; ++i) {
        double value = 0;
        if (!referenceDouble(s, value)) return false;
        ref.coordinates.push_back(value);
    }
    for (std::int64_t j = 0; j < ref.faceCount; ++j) {
        std::int32_t number = 0;
        if (!referenceInt(s, number)) return false;
        for (int k = 0; k < 3; ++k) {
            if (!referenceInt(s, number) || number < 0 || number >= ref.vertexCount) return false;
            ref.indices.push_back(number);
        }
    }
    return true;
}

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void checkRefusal(const Model& model, const std::string& error, const std::string& path) {
    if (model.vertexCount != 0 || model.faceCount != 0 || model.vertices || model.faces)
        violation("a refused file left a model behind");
    if (error.rfind(path + ":", 0) != 0) violation("the error does not start with the file name", error);
    for (const char c : error)
        if (c < 0x20 || c > 0x7e) violation("the error holds a byte that is not printable", error);
}

void checkAcceptance(const Model& model, const Reference& ref) {
    if (model.vertexCount != ref.vertexCount || model.faceCount != ref.faceCount) violation("counts differ");
    for (std::int32_t i = 0; i < model.vertexCount; ++i) {
        const Vertex& v = model.vertices[i];
        const double* expected = &ref.coordinates[3 * static_cast<std::size_t>(i)];
        if (!sameBits(v.x, expected[0]) || !sameBits(v.y, expected[1]) || !sameBits(v.z, expected[2]))
            violation("a position differs from strtod's", std::to_string(i));
    }
    for (std::int32_t j = 0; j < model.faceCount; ++j) {
        const Face& face = model.faces[j];
        for (int k = 0; k < 3; ++k) {
            const std::int32_t index = ref.indices[3 * static_cast<std::size_t>(j) + k];
            if (face.vertexIndex[k] != index) violation("a vertex index differs", std::to_string(j));
            const Vertex& corner = face.cornerPosition[k];
            const Vertex& v = model.vertices[index];
            if (!sameBits(corner.x, v.x) || !sameBits(corner.y, v.y) || !sameBits(corner.z, v.z))
                violation("a corner is not a copy of its vertex", std::to_string(j));
        }
    }
}

// The input fits in a pipe's buffer (libFuzzer's inputs are kept well under
// 64 KiB), so it is written whole before the reader starts.
void checkStream(const std::uint8_t* data, std::size_t size, const Model& model, bool accepted,
                 const std::string& errorAfterPath) {
    int ends[2];
    if (size > 65536 || ::pipe(ends) != 0) return;
    const bool written = ::write(ends[1], data, size) == static_cast<ssize_t>(size);
    ::close(ends[1]);
    OffNumbers numbers;
    std::string error;
    const bool streamed = written && readOffStream(ends[0], "fuzz.off", numbers, error);
    ::close(ends[0]);
    if (!written) return;
    if (streamed != accepted)
        violation(streamed ? "a stream accepted what the file refused" : "a stream refused", error);
    if (streamed) {
        if (numbers.vertexCount != model.vertexCount || numbers.faceCount != model.faceCount)
            violation("a stream gave other counts");
        if (model.vertexCount > 0 && std::memcmp(numbers.vertices.get(), model.vertices.get(),
                                                 sizeof(Vertex) * std::size_t(model.vertexCount)) != 0)
            violation("a stream gave other positions");
        for (std::int32_t j = 0; j < model.faceCount; ++j)
            for (int k = 0; k < 3; ++k)
                if (numbers.corners[3 * std::size_t(j) + k] != model.faces[j].vertexIndex[k])
                    violation("a stream gave other vertex indices");
        return;
    }
    if (error.rfind("fuzz.off:", 0) != 0) violation("the stream's error does not start with the file name", error);
    if (errorAfterPath.find("bytes that follow the header") == std::string::npos && error.substr(8) != errorAfterPath &&
        error.find("(more than 65536 bytes)") == std::string::npos)
        violation("a stream gave another line", error + " | " + errorAfterPath);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    installAllocationCheck("off_reader_fuzz");

    // A regular file that lives in memory, opened by its path as the viewer
    // opens a mesh.
    static const int file = memfd_create("fuzz.off", MFD_CLOEXEC);
    static const std::string path = "/proc/self/fd/" + std::to_string(file);
    if (file < 0 || ::ftruncate(file, 0) != 0 || ::pwrite(file, data, size, 0) != static_cast<ssize_t>(size))
        violation("cannot write the input to a file in memory");

    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Model model;
    std::string error;
    allocationLimit = allocationLimitFor(size);
    const bool accepted = loadModel(path.c_str(), model, error);
    allocationLimit = 0;

    Reference ref;
    const bool expected = readReference(text, ref);
    if (accepted != expected)
        violation(accepted ? "accepted a file the reference refuses" : "refused a file the reference accepts", error);
    if (accepted) {
        checkAcceptance(model, ref);
    } else {
        checkRefusal(model, error, path);
    }
    checkStream(data, size, model, accepted, accepted ? std::string() : error.substr(path.size()));
    return 0;
}
