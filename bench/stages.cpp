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

// Splits the faces between threads as fillFaceTable does.
template <class PerFace>
void forEachFace(Model& model, int threads, const PerFace& perFace) {
    const int count = threadsFor(model.faceCount, 50000, threads);
    runParts(count, [&](int t) {
        const auto last = static_cast<std::int32_t>(partBegin(model.faceCount, t + 1, count));
        for (auto j = static_cast<std::int32_t>(partBegin(model.faceCount, t, count)); j < last; ++j)
            perFace(model.faces[j]);
    });
}

}  // namespace

void loadInStages(const char* path, Model& model, double seconds[stageCount]) {
    const int threads = availableThreads();
    double t = now();
    auto lap = [&t](double& into) {
        const double then = t;
        t = now();
        into = t - then;
    };
    FileBytes bytes;
    if (readFileBytes(path, bytes) != ReadStatus::ok) fail(std::string("cannot read ") + path);
    lap(seconds[readStage]);
    std::string error;
    Table<std::int32_t> corners;
    if (!readModelNumbers(bytes.text(), path, model, corners, error, threads)) fail(error);
    bytes = FileBytes{};
    lap(seconds[parseStage]);
    // Pages faulted in a block at a time, as fillFaceTable does.
    populateForWriting(model.faces.get(), sizeof(Face) * static_cast<std::size_t>(model.faceCount));
    const std::int32_t* corner = corners.get();
    forEachFace(model, threads, [&model, corner](Face& face) {
        const std::int64_t j = &face - model.faces.get();
        for (int k = 0; k < 3; ++k) {
            face.vertexIndex[k] = corner[3 * j + k];
            face.cornerPosition[k] = model.vertices[face.vertexIndex[k]];
        }
    });
    lap(seconds[tableStage]);
    forEachFace(model, threads, [](Face& face) { computeFaceNormal(face); });
    lap(seconds[faceNormalStage]);
    if (!smoothCornerNormals(model.faces.get(), model.faceCount, corners.get(), model.vertexCount, threads))
        fail("not enough memory for the corner normals");
    lap(seconds[cornerNormalStage]);
}
