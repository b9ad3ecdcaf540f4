// fit_bench: how long tarvexgl-fit takes to fit a mesh (its steps from
// reading the file to writing the viewer's), next to the viewer's own load of
// the same mesh as OFF (the Model constructor), the ratio of the two, and
// what each step of the fit costs.
//
//   fit_bench [--runs N] [--formats] MESH.off...
//   fit_bench [--runs N] --polygons
//
// Every run is a fresh child process, as a real run of either program is; the
// contenders take turns inside each round (in rotating order), so that a
// disturbance from other work on the machine hits all of them alike. Figures
// are medians over the rounds; a ratio is the median of the ratios within
// each round. The fitted file is written beside the mesh as MESH.off.fitted
// and removed at the end.
//
// With --formats the mesh is also written beside itself as binary STL,
// binary PLY and OBJ (MESH.stl, MESH.ply, MESH.obj, removed at the end), and
// each is fitted in the same rounds as the OFF and the viewer's load. Each
// line also gives the fit's peak resident memory against the file's size and
// the output tables (the fitted vertices and triangles).
//
// With --polygons it times the cutting of single non-convex polygons (a strip
// wound about itself and a comb, the shapes that take ear clipping n^2 or n^3
// steps) of 10k, 100k and 1M corners.
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "formats/mesh_file.h"
#include "formats/off_writer.h"
#include "geometry/crease.h"
#include "geometry/framing.h"
#include "geometry/orient.h"
#include "geometry/safe_range.h"
#include "geometry/triangle_mesh.h"
#include "geometry/triangulate.h"
#include "geometry/up_axis.h"
#include "mesh/model.h"
#include "tests/polygon_shapes.h"

namespace {

constexpr const char* steps[] = {"read",     "safe range", "orient", "triangulate", "crease",
                                 "stand up", "keep used",  "frame",  "write"};
constexpr std::size_t stepCount = std::size(steps);

struct Sample {
    double seconds = 0;
    std::uint64_t count = 0;  // faces loaded, or triangles written: a check that the work was done
    double peakBytes = 0;     // the process's peak resident memory
    double tableBytes = 0;    // the fitted vertices and triangles
    double step[stepCount] = {};
};

double peakResidentBytes() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return 1024.0 * static_cast<double>(usage.ru_maxrss);
}

void check(bool done, const std::string& error) {
    if (done) return;
    std::fprintf(stderr, "fit_bench: %s\n", error.c_str());
    std::exit(1);
}

// The steps of tarvexgl-fit's main, in its order, with default options.
Sample fitHere(const std::string& path, const std::string& output) {
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
    scaleIntoSafeRange(polygons.vertices);
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
    sample.peakBytes = peakResidentBytes();
    sample.tableBytes =
        static_cast<double>(mesh.vertices.size() * sizeof(Vertex) + mesh.triangles.size() * sizeof(Triangle));
    return sample;
}

Sample loadHere(const std::string& path) {
    const double start = now();
    const Model model(path.c_str());
    Sample sample;
    sample.seconds = now() - start;
    sample.count = static_cast<std::uint64_t>(model.faceCount);
    sample.peakBytes = peakResidentBytes();
    return sample;
}

// The mesh in the other formats, from the OFF as tarvexgl-fit reads it.

template <class T>
void put(std::FILE* file, T value) {
    std::fwrite(&value, sizeof value, 1, file);  // little-endian on the machines we measure on
}

void writeFormats(const std::string& off, const std::string& base) {
    PolygonMesh mesh;
    UpAxis formatUp{};
    std::string error;
    check(readMeshFile(off, mesh, formatUp, error), error);
    auto corner = [&](std::size_t f, int k) {
        return mesh.vertices[static_cast<std::size_t>(mesh.corners[static_cast<std::size_t>(mesh.faceStart[f]) + k])];
    };
    std::FILE* stl = std::fopen((base + ".stl").c_str(), "wb");
    char header[80] = "binary STL written by fit_bench";
    std::fwrite(header, 1, sizeof header, stl);
    put(stl, static_cast<std::uint32_t>(mesh.faceCount()));
    for (std::size_t f = 0; f < mesh.faceCount(); ++f) {
        for (int i = 0; i < 3; ++i) put(stl, 0.0f);
        for (int k = 0; k < 3; ++k) {
            const Vertex v = corner(f, k);
            put(stl, static_cast<float>(v.x));
            put(stl, static_cast<float>(v.y));
            put(stl, static_cast<float>(v.z));
        }
        put(stl, std::uint16_t{0});
    }
    std::fclose(stl);

    std::FILE* ply = std::fopen((base + ".ply").c_str(), "wb");
    std::fprintf(ply,
                 "ply\nformat binary_little_endian 1.0\nelement vertex %zu\nproperty float x\nproperty float y\n"
                 "property float z\nelement face %zu\nproperty list uchar int vertex_indices\nend_header\n",
                 mesh.vertices.size(), mesh.faceCount());
    for (const Vertex& v : mesh.vertices) {
        put(ply, static_cast<float>(v.x));
        put(ply, static_cast<float>(v.y));
        put(ply, static_cast<float>(v.z));
    }
    for (std::size_t f = 0; f < mesh.faceCount(); ++f) {
        put(ply, std::uint8_t{3});
        for (int k = 0; k < 3; ++k) put(ply, mesh.corners[static_cast<std::size_t>(mesh.faceStart[f]) + k]);
    }
    std::fclose(ply);

    // The same numbers as the OFF: shortest text that reads back as the
    // double, as the OFF writer does.
    std::FILE* obj = std::fopen((base + ".obj").c_str(), "wb");
    char line[128];
    for (const Vertex& v : mesh.vertices) {
        char* p = line;
        *p++ = 'v';
        for (const double c : {v.x, v.y, v.z}) {
            *p++ = ' ';
            p = std::to_chars(p, line + sizeof line, c).ptr;
        }
        *p++ = '\n';
        std::fwrite(line, 1, static_cast<std::size_t>(p - line), obj);
    }
    for (std::size_t f = 0; f < mesh.faceCount(); ++f) {
        const std::int32_t* c = &mesh.corners[static_cast<std::size_t>(mesh.faceStart[f])];
        std::fprintf(obj, "f %d %d %d\n", c[0] + 1, c[1] + 1, c[2] + 1);
    }
    std::fclose(obj);
}

double fileBytes(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? static_cast<double>(info.st_size) : 0;
}

const char* nameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return path.c_str() + (slash == std::string::npos ? 0 : slash + 1);
}

void benchMesh(const std::string& off, int runs, bool formats) {
    const std::string base = off.substr(0, off.size() - (off.ends_with(".off") ? 4 : 0));
    std::vector<std::string> inputs{off};
    if (formats) {
        writeFormats(off, base);
        for (const char* extension : {".stl", ".ply", ".obj"}) inputs.push_back(base + extension);
    }
    const std::string output = off + ".fitted";
    const std::size_t n = inputs.size();
    std::vector<std::vector<double>> fit(n), ratio(n), peak(n);
    std::vector<std::vector<std::vector<double>>> step(n, std::vector<std::vector<double>>(stepCount));
    std::vector<double> load;
    std::vector<Sample> last(n);
    Sample loaded;
    for (int round = 0; round < runs; ++round) {
        // Contender 0 is the viewer's load, then each format's fit; the
        // first to run moves along by one every round.
        std::vector<Sample> samples(n);
        for (std::size_t k = 0; k <= n; ++k) {
            const std::size_t who = (k + static_cast<std::size_t>(round)) % (n + 1);
            if (who == 0) loaded = inChild<Sample>([&] { return loadHere(off); }, "load");
            else
                samples[who - 1] = inChild<Sample>([&] { return fitHere(inputs[who - 1], output); }, "fit");
        }
        load.push_back(loaded.seconds);
        for (std::size_t i = 0; i < n; ++i) {
            fit[i].push_back(samples[i].seconds);
            ratio[i].push_back(samples[i].seconds / loaded.seconds);
            peak[i].push_back(samples[i].peakBytes);
            for (std::size_t k = 0; k < stepCount; ++k) step[i][k].push_back(samples[i].step[k]);
            last[i] = samples[i];
        }
    }
    ::unlink(output.c_str());
    constexpr double mb = 1 << 20;
    for (std::size_t i = 0; i < n; ++i) {
        const double file = fileBytes(inputs[i]), tables = last[i].tableBytes;
        std::printf(
            "%-22s %10llu %10llu %8.3f s %8.3f s %6.2fx %7.0f MB %6.0f MB %6.0f MB %5.2f  (spread %.0f%% / %.0f%%)\n",
            nameOf(inputs[i]), static_cast<unsigned long long>(loaded.count),
            static_cast<unsigned long long>(last[i].count), median(fit[i]), median(load), median(ratio[i]),
            median(peak[i]) / mb, file / mb, tables / mb, (median(peak[i]) - tables) / file, 100 * spread(fit[i]),
            100 * spread(load));
        std::printf("%-22s", "  by step (median)");
        for (std::size_t k = 0; k < stepCount; ++k) std::printf("  %s %.3f s", steps[k], median(step[i][k]));
        std::printf("\n");
    }
    if (formats)
        for (std::size_t i = 1; i < n; ++i) ::unlink(inputs[i].c_str());
}

// Single polygons, the tests' shapes (tests/polygon_shapes.h) in the plane
// z = 0.
std::vector<Vertex> flat(const std::vector<PlanePoint>& polygon) {
    std::vector<Vertex> points;
    points.reserve(polygon.size());
    for (const PlanePoint& p : polygon) points.push_back({p.u, p.v, 0});
    return points;
}

Sample cutHere(const std::vector<Vertex>& polygon) {
    std::vector<std::int32_t> corners(polygon.size());
    std::iota(corners.begin(), corners.end(), 0);
    std::vector<Triangle> triangles;
    const double start = now();
    if (!triangulatePolygon(polygon, corners, triangles)) {
        std::fputs("fit_bench: the polygon was refused\n", stderr);
        std::exit(1);
    }
    Sample sample;
    sample.seconds = now() - start;
    sample.count = triangles.size();
    return sample;
}

void benchPolygons(int runs) {
    std::printf("%-22s %10s %10s %10s %14s\n", "polygon", "corners", "triangles", "median", "per corner");
    for (const char* shape : {"wound strip", "comb"}) {
        for (const std::size_t corners : {10000, 100000, 1000000}) {
            // 500 corners a turn on each side of the strip; 4 corners a tooth.
            const std::vector<Vertex> polygon =
                flat(shape[0] == 'w' ? spiralStrip(corners, static_cast<double>(corners) / 1000) : comb(corners / 4));
            std::vector<double> seconds;
            Sample s;
            for (int round = 0; round < runs; ++round) {
                s = inChild<Sample>([&] { return cutHere(polygon); }, "cut");
                seconds.push_back(s.seconds);
            }
            std::printf("%-22s %10zu %10llu %8.3f s %11.0f ns  (spread %.0f%%)\n", shape, polygon.size(),
                        static_cast<unsigned long long>(s.count), median(seconds),
                        1e9 * median(seconds) / static_cast<double>(polygon.size()), 100 * spread(seconds));
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 7;
    bool formats = false, polygons = false;
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--formats") == 0) {
            formats = true;
        } else if (std::strcmp(argv[i], "--polygons") == 0) {
            polygons = true;
        } else {
            paths.emplace_back(argv[i]);
        }
    }
    if ((paths.empty() && !polygons) || runs < 1) {
        std::fputs("usage: fit_bench [--runs N] [--formats] MESH.off...\n       fit_bench [--runs N] --polygons\n",
                   stderr);
        return 2;
    }
    if (polygons) benchPolygons(runs);
    if (paths.empty()) return 0;
    std::printf("%-22s %10s %10s %10s %10s %7s %10s %9s %9s %5s\n", "fit of (vs OFF load)", "faces", "triangles", "fit",
                "load", "ratio", "peak", "file", "tables", "x file");
    for (const std::string& path : paths) benchMesh(path, runs, formats);
    return 0;
}
