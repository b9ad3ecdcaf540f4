// fit_bench: how long tarvexgl-fit takes to fit a mesh (read, triangulate,
// turn, frame, and write the viewer's file), next to the viewer's own load of
// the same file (the Model constructor), and the ratio of the two.
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
#include "fit/framing.h"
#include "fit/mesh_file.h"
#include "fit/off_writer.h"
#include "fit/triangle_mesh.h"
#include "fit/up_axis.h"
#include "mesh/model.h"

namespace {

struct Sample {
    double seconds = 0;
    std::uint64_t count = 0;  // faces loaded, or triangles written: a check that the work was done
};

void check(bool done, const std::string& error) {
    if (done) return;
    std::fprintf(stderr, "fit_bench: %s\n", error.c_str());
    std::exit(1);
}

// The steps of tarvexgl-fit's main, in its order, with default options.
Sample fitHere(const char* path, const std::string& output) {
    const double start = now();
    std::string error;
    PolygonMesh polygons;
    UpAxis formatUp{};
    TriangleMesh mesh;
    check(readMeshFile(path, polygons, formatUp, error), error);
    check(triangulateFaces(std::move(polygons), mesh, error), error);
    standUp(mesh.vertices, formatUp);
    keepUsedVertices(mesh);
    check(frameForViewer(mesh.vertices, error), error);
    check(writeOffFile(mesh, output, error), error);
    return {now() - start, mesh.triangles.size()};
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
            load.push_back(l.seconds);
            ratio.push_back(f.seconds / l.seconds);
        }
        ::unlink(output.c_str());
        const char* name = std::strrchr(path, '/') ? std::strrchr(path, '/') + 1 : path;
        std::printf("%-28s %10llu %10llu %10.3f s %10.3f s %7.2fx   (spread %.0f%% / %.0f%%)\n", name,
                    static_cast<unsigned long long>(l.count), static_cast<unsigned long long>(f.count), median(fit),
                    median(load), median(ratio), 100 * spread(fit), 100 * spread(load));
    }
    return 0;
}
