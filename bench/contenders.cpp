#include "bench/contenders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench/digest.h"
#include "mesh/normals.h"
#include "mesh/workers.h"

namespace {

bool isSpace(char c) { return c == ' ' || c == '\n' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

const char* skipSpace(const char* p, const char* end) {
    while (p != end && isSpace(*p)) ++p;
    return p;
}

[[noreturn]] void die(const char* what, const char* path) {
    std::fprintf(stderr, "load_bench: %s: %s\n", path, what);
    std::exit(2);
}

}  // namespace

Digest loadFloor(const char* path) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0) die("cannot open", path);
    const auto size = static_cast<std::size_t>(info.st_size);
    char* text = static_cast<char*>(std::malloc(size));
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, text + done, size - done);
        if (n <= 0) die("cannot read", path);
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);

    const char* p = text;
    const char* end = text + size;
    p = skipSpace(p, end);
    while (p != end && !isSpace(*p)) ++p;  // the keyword
    long counts[3] = {};
    for (long& count : counts) {
        p = skipSpace(p, end);
        p = std::from_chars(p, end, count).ptr;
    }
    const auto coordinateCount = static_cast<std::size_t>(3 * counts[0]);
    const auto integerCount = static_cast<std::size_t>(4 * counts[1]);
    // At least one element each, so that an empty mesh still gets a pointer.
    auto* coordinates = static_cast<double*>(std::malloc(sizeof(double) * std::max<std::size_t>(coordinateCount, 1)));
    auto* integers =
        static_cast<std::int32_t*>(std::malloc(sizeof(std::int32_t) * std::max<std::size_t>(integerCount, 1)));
    for (std::size_t i = 0; i < coordinateCount; ++i) {
        p = skipSpace(p, end);
        p = std::from_chars(p, end, coordinates[i]).ptr;
    }
    for (std::size_t i = 0; i < integerCount; ++i) {
        p = skipSpace(p, end);
        p = std::from_chars(p, end, integers[i]).ptr;
    }
    std::free(text);

    Digest digest;
    digestBytes(digest, coordinates, sizeof(double) * coordinateCount);
    digestBytes(digest, integers, sizeof(std::int32_t) * integerCount);
    std::free(coordinates);
    std::free(integers);
    return digest;
}

Digest loadFscanf(const char* path) {
    std::FILE* file = std::fopen(path, "r");
    if (!file) die("cannot open", path);
    char keyword[12];
    int vertexCount = 0, faceCount = 0, edgeCount = 0;
    if (std::fscanf(file, "%11s", keyword) != 1 || std::fscanf(file, "%d", &vertexCount) != 1 ||
        std::fscanf(file, "%d", &faceCount) != 1 || std::fscanf(file, "%d", &edgeCount) != 1)
        die("bad header", path);
    Model model;
    model.vertexCount = vertexCount;
    model.faceCount = faceCount;
    model.vertices.reset(static_cast<Vertex*>(std::malloc(sizeof(Vertex) * static_cast<std::size_t>(vertexCount))));
    model.faces.reset(static_cast<Face*>(std::malloc(sizeof(Face) * static_cast<std::size_t>(faceCount))));
    for (int i = 0; i < vertexCount; ++i) {
        Vertex& v = model.vertices[i];
        if (std::fscanf(file, "%lf %lf %lf", &v.x, &v.y, &v.z) != 3) die("bad vertex", path);
    }
    for (int j = 0; j < faceCount; ++j) {
        Face& face = model.faces[j];
        int corners = 0;
        if (std::fscanf(file, "%d %d %d %d", &corners, &face.vertexIndex[0], &face.vertexIndex[1],
                        &face.vertexIndex[2]) != 4)
            die("bad face", path);
        for (int k = 0; k < 3; ++k) face.cornerPosition[k] = model.vertices[face.vertexIndex[k]];
        computeFaceNormal(face);
    }
    std::fclose(file);
    if (!smoothCornerNormals(model.faces.get(), model.faceCount, availableThreads()))
        die("not enough memory for the corner normals of", path);
    return digestModel(model);
}
