#include "mesh/model.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string_view>

#include "mesh/file_bytes.h"
#include "mesh/normals.h"
#include "mesh/off_cursor.h"
#include "mesh/off_reader.h"
#include "mesh/polygon_mesh.h"
#include "mesh/workers.h"

std::optional<Model> theModel;

Model::Model(const char* path) {
    std::string error;
    if (loadModel(path, *this, error)) return;
    std::fprintf(stderr, "Model Constructor: %s\n", error.c_str());
    std::exit(-1);
}

namespace {

// Sets `error` to the pieces, one after another. loadModel reserves room in
// `error` (the path and 128 bytes more) before it allocates anything else,
// so a line that reports memory that could not be had is written into that
// room and needs no memory of its own.
void setError(std::string& error, std::initializer_list<std::string_view> pieces) {
    error.clear();
    for (const std::string_view piece : pieces) error.append(piece);
}

// The file, open only while it is read, and its text, let go as soon as the
// numbers are out of it: before the face table is first touched, since the
// two together would set the peak of the load.
bool readNumbers(const char* path, OffNumbers& numbers, std::string& error, int threads) {
    MeshFile file;
    if (!openMeshFile(path, file)) {
        setError(error, {"Couldn't open ", path});
        return false;
    }
    if (!file.regular) return readOffStream(file.fd, path, numbers, error);
    FileBytes bytes;
    switch (readRegularFile(file, bytes)) {
        case ReadStatus::ok: return readOffText(bytes.text(), path, numbers, error, threads);
        case ReadStatus::grew:
            if (::lseek(file.fd, 0, SEEK_SET) == 0) return readOffStream(file.fd, path, numbers, error);
            break;
        case ReadStatus::outOfMemory: setError(error, {path, ": not enough memory to read the file"}); return false;
        case ReadStatus::cannotRead: break;
    }
    setError(error, {"Couldn't open ", path});
    return false;
}

// Where every Model is finished, from a file's numbers as from triangles in
// memory: the face table, filled with its normals, and the vertices taken
// over. On failure `model` is empty and `error` says what memory was missing.
bool fillModel(Model& model, Table<Vertex>&& vertices, std::int32_t vertexCount, const std::int32_t* corners,
               std::int32_t faceCount, const char* path, std::string& error, int threads) {
    model.faces = allocateTable<Face>(faceCount);  // first written by fillFaceTable
    if (faceCount > 0 && !model.faces) {
        vertices = nullptr;
        setOutOfMemory(error, path, vertexCount, faceCount);
        return false;
    }
    if (!fillFaceTable(model.faces.get(), faceCount, vertices.get(), corners, vertexCount, threads)) {
        vertices = nullptr;
        model = Model{};
        setError(error, {path, ": not enough memory for the corner normals of ", std::to_string(faceCount), " faces"});
        return false;
    }
    model.vertexCount = vertexCount;
    model.faceCount = faceCount;
    model.vertices = std::move(vertices);
    return true;
}

}  // namespace

bool loadModel(const char* path, Model& model, std::string& error) {
    model = Model{};
    error.clear();
    error.reserve(std::strlen(path) + 128);
    const int threads = availableThreads();
    OffNumbers numbers;
    if (!readNumbers(path, numbers, error, threads)) return false;
    return fillModel(model, std::move(numbers.vertices), numbers.vertexCount, numbers.corners.get(), numbers.faceCount,
                     path, error, threads);
}

bool modelFromTriangles(const TriangleMesh& mesh, const char* name, Model& model, std::string& error) {
    model = Model{};
    error.clear();
    error.reserve(std::strlen(name) + 128);
    const auto vertexCount = static_cast<std::int32_t>(mesh.vertices.size());
    const auto faceCount = static_cast<std::int32_t>(mesh.triangles.size());
    Table<Vertex> vertices = allocateTable<Vertex>(vertexCount);
    if (vertexCount > 0 && !vertices) {
        setOutOfMemory(error, name, vertexCount, faceCount);
        return false;
    }
    std::copy(mesh.vertices.begin(), mesh.vertices.end(), vertices.get());
    // A triangle is its three corners and nothing else, so the triangles are
    // the corner table the reader would have made of the file.
    static_assert(sizeof(Triangle) == 3 * sizeof(std::int32_t));
    const auto* corners = reinterpret_cast<const std::int32_t*>(mesh.triangles.data());
    return fillModel(model, std::move(vertices), vertexCount, corners, faceCount, name, error, availableThreads());
}
