#include "bench/stages.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bench_util.h"
#include "mesh/file_bytes.h"
#include "mesh/normals.h"
#include "mesh/off_reader.h"
#include "mesh/workers.h"

namespace {

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "load_bench: %s\n", what.c_str());
    std::exit(2);
}

// Splits the faces between threads in equal runs.
template <class PerFace>
void forEachFace(Model& model, int threads, const PerFace& perFace) {
    const int count = threadsFor(model.faceCount, 50000, threads);
    runParts(count, [&](int t) {
        const auto last = static_cast<std::int32_t>(std::int64_t{model.faceCount} * (t + 1) / count);
        for (auto j = static_cast<std::int32_t>(std::int64_t{model.faceCount} * t / count); j < last; ++j)
            perFace(model.faces[j]);
    });
}

}  // namespace

// The steps of loadModel on a regular file, each timed on its own.
void loadInStages(const char* path, Model& model, double seconds[stageCount]) {
    const int threads = availableThreads();
    double t = now();
    auto lap = [&t](double& into) {
        const double then = t;
        t = now();
        into = t - then;
    };
    OffNumbers numbers;
    {
        MeshFile file;
        FileBytes bytes;
        if (!openMeshFile(path, file) || !file.regular || readRegularFile(file, bytes) != ReadStatus::ok)
            fail(std::string("cannot read ") + path);
        lap(seconds[readStage]);
        std::string error;
        if (!readOffText(bytes.text(), path, numbers, error, threads)) fail(error);
    }
    lap(seconds[parseStage]);
    model.vertexCount = numbers.vertexCount;
    model.faceCount = numbers.faceCount;
    model.faces = allocateWrittenTable<Face>(model.faceCount);
    const Vertex* vertices = numbers.vertices.get();
    const std::int32_t* corner = numbers.corners.get();
    forEachFace(model, threads, [&model, vertices, corner](Face& face) {
        const std::int64_t j = &face - model.faces.get();
        for (int k = 0; k < 3; ++k) {
            face.vertexIndex[k] = corner[3 * j + k];
            face.cornerPosition[k] = vertices[face.vertexIndex[k]];
        }
    });
    lap(seconds[tableStage]);
    forEachFace(model, threads, [](Face& face) { computeFaceNormal(face); });
    lap(seconds[faceNormalStage]);
    if (!smoothCornerNormals(model.faces.get(), model.faceCount, threads))
        fail(std::string("not enough memory for the corner normals of ") + path);
    lap(seconds[cornerNormalStage]);
    model.vertices = std::move(numbers.vertices);
}
