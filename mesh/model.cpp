#include "mesh/model.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string_view>

#include "mesh/file_bytes.h"
#include "mesh/normals.h"
#include "mesh/off_cursor.h"
#include "mesh/off_reader.h"
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

}  // namespace

bool loadModel(const char* path, Model& model, std::string& error) {
    model = Model{};
    error.clear();
    error.reserve(std::strlen(path) + 128);
    const int threads = availableThreads();
    OffNumbers numbers;
    if (!readNumbers(path, numbers, error, threads)) return false;
    model.faces = allocateTable<Face>(numbers.faceCount);  // first written by fillFaceTable
    if (numbers.faceCount > 0 && !model.faces) {
        const std::int32_t vertexCount = numbers.vertexCount, faceCount = numbers.faceCount;
        numbers = OffNumbers{};
        setOutOfMemory(error, path, vertexCount, faceCount);
        return false;
    }
    if (!fillFaceTable(model.faces.get(), numbers.faceCount, numbers.vertices.get(), numbers.corners.get(),
                       numbers.vertexCount, threads)) {
        const std::int32_t faceCount = numbers.faceCount;
        numbers = OffNumbers{};
        model = Model{};
        setError(error, {path, ": not enough memory for the corner normals of ", std::to_string(faceCount), " faces"});
        return false;
    }
    model.vertexCount = numbers.vertexCount;
    model.faceCount = numbers.faceCount;
    model.vertices = std::move(numbers.vertices);
    return true;
}
