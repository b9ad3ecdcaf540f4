// fit_bench: how long tarvexgl-fit takes to fit a mesh (its steps from
// reading the file to writing the viewer's), next to the viewer's own load of
// the same file (the Model constructor), the ratio of the two, and what each
// step of the fit costs.
//
//   fit_bench [--runs N] MESH.off...
//
// Every run is a fresh child process, as a real run of either program is; the
// two take turns inside each round (in alternating order), so that a
// disturbance from other work on the machine hits both alike. Figures are
// medians over the rounds; the ratio is the median of the ratios within each
// round. The fitted file is written beside the mesh as MESH.off.fitted and
// removed at the end.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "fit/crease.h"
#include "fit/framing.h"
#include "fit/mesh_file.h"
#include "fit/off_writer.h"
#include "fit/orient.h"
#include "fit/triangle_mesh.h"
#include "fit/up_axis.h"
#include "mesh/model.h"

namespace {

constexpr const char* steps[] = {"read", "orient", "triangulate", "crease", "stand up", "keep used", "frame", "write"};
constexpr std::size_t stepCount = std::size(steps);

struct Sample {
    double seconds = 0;
    std::uint64_t count = 0;  // faces loaded, or triangles written: a check that the work was done
    double step[stepCount] = {};
};

void check(bool done, const std::string& error) {
    if (done) return;
    std::fprintf(stderr, "fit_bench: %s\n", error.c_str());
    std::exit(1);
}

// The steps of tarvexgl-fit's main, in its order, with default options.
Sample fitHere(const char* path, const std::string& output) {
    Sample sample;
    std::size_t next = 0;
    double last = now();
    const double start = last;
    const auto lap = [&] {
        const double t = now();
        sample.step[next++] = t - last;
        last = t;
    };
    std::string error;
    PolygonMesh polygons;
    UpAxis formatUp{};
    TriangleMesh mesh;
    check(readMeshFile(path, polygons, formatUp, error), error);
    lap();
    orientOutward(polygons);
    lap();
    check(triangulateFaces(std::move(polygons), mesh, error), error);
    lap();
    splitSharpEdges(mesh, defaultCreaseDegrees);
    lap();
    standUp(mesh.vertices, formatUp);
    lap();
    keepUsedVertices(mesh);
    lap();
    check(frameForViewer(mesh.vertices, error), error);
    lap();
    check(writeOffFile(mesh, output, error), error);
    lap();
    sample.seconds = now() - start;
    sample.count = mesh.triangles.size();
    return sample;
}

Sample loadHere(const char* path) {
    const double start = now();
    const Model model(path);
    return {now() - start, static_cast<std::uint64_t>(model.faceCount)};
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 7;
    std::vector<const char*> paths;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::atoi(argv[++i]);
        } else {
            paths.push_back(argv[i]);
        }
    }
    if (paths.empty() || runs < 1) {
        std::fputs("usage: fit_bench [--runs N] MESH.off...\n", stderr);
        return 2;
    }
    std::printf("%-28s %10s %10s %12s %12s %8s\n", "mesh (fit vs viewer load)", "faces", "triangles", "fit median",
                "load median", "ratio");
    for (const char* path : paths) {
        const std::string output = std::string(path) + ".fitted";
        std::vector<double> fit, load, ratio;
        std::vector<std::vector<double>> step(stepCount);
        Sample f{}, l{};
        for (int round = 0; round < runs; ++round) {
            if (round % 2 == 0) {
                f = inChild<Sample>([&] { return fitHere(path, output); }, "fit");
                l = inChild<Sample>([&] { return loadHere(path); }, "load");
            } else {
                l = inChild<Sample>([&] { return loadHere(path); }, "load");
                f = inChild<Sample>([&] { return fitHere(path, output); }, "fit");
            }
            fit.push_back(f.seconds);
            for (std::size_t k = 0; k < stepCount; ++k) step[k].push_back(f.step[k]);
            load.push_back(l.seconds);
            ratio.push_back(f.seconds / l.seconds);
        }
        ::unlink(output.c_str());
        const char* name = std::strrchr(path, '/') ? std::strrchr(path, '/') + 1 : path;
        std::printf("%-28s %10llu %10llu %10.3f s %10.3f s %7.2fx   (spread %.0f%% / %.0f%%)\n", name,
                    static_cast<unsigned long long>(l.count), static_cast<unsigned long long>(f.count), median(fit),
                    median(load), median(ratio), 100 * spread(fit), 100 * spread(load));
        std::printf("%-28s", "  fit by step (median)");
        for (std::size_t k = 0; k < stepCount; ++k) std::printf("  %s %.3f s", steps[k], median(step[k]));
        std::printf("\n");
    }
    return 0;
}
