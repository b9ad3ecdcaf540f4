// meshgen: writes deterministic OFF triangle meshes, modelled z-up around the
// origin and sized for tarvexgl's fixed camera (about 30 units across).
//
//   meshgen torus|sphere|knot|fan FACES [DIGITS] > mesh.off
//
// FACES is the approximate number of triangles; DIGITS the significant
// digits of each coordinate (default 17: the exact double). The same
// arguments always give the same bytes.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr double pi = 3.14159265358979323846;

struct Point {
    double x, y, z;
};
struct Triangle {
    int a, b, c;
};
struct Mesh {
    std::vector<Point> points;
    std::vector<Triangle> triangles;
};

// A closed grid of rows x columns quads, two triangles each, wrapping in both
// directions, anticlockwise seen from outside.
void addWrappedGrid(Mesh& mesh, int rows, int columns) {
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < columns; ++j) {
            const int a = i * columns + j, b = i * columns + (j + 1) % columns;
            const int c = ((i + 1) % rows) * columns + (j + 1) % columns, d = ((i + 1) % rows) * columns + j;
            mesh.triangles.push_back({a, b, c});
            mesh.triangles.push_back({a, c, d});
        }
}

// Tube of radius `tube` around a closed curve, `rows` samples along it.
template <class Curve>
Mesh tubeAround(Curve curve, double tube, int rows, int columns) {
    Mesh mesh;
    for (int i = 0; i < rows; ++i) {
        const double t = 2 * pi * i / rows, dt = 1e-4;
        const Point p = curve(t), q = curve(t + dt);
        double tx = q.x - p.x, ty = q.y - p.y, tz = q.z - p.z;
        const double tl = std::sqrt(tx * tx + ty * ty + tz * tz);
        tx /= tl, ty /= tl, tz /= tl;
        // A frame around the tangent: n from the z axis, b = t x n.
        double nx = -tx * tz, ny = -ty * tz, nz = 1 - tz * tz;
        const double nl = std::sqrt(nx * nx + ny * ny + nz * nz);
        nx /= nl, ny /= nl, nz /= nl;
        const double bx = ty * nz - tz * ny, by = tz * nx - tx * nz, bz = tx * ny - ty * nx;
        for (int j = 0; j < columns; ++j) {
            const double s = 2 * pi * j / columns, c = std::cos(s) * tube, d = std::sin(s) * tube;
            mesh.points.push_back({p.x + c * nx + d * bx, p.y + c * ny + d * by, p.z + c * nz + d * bz});
        }
    }
    addWrappedGrid(mesh, rows, columns);
    return mesh;
}

Mesh torus(long faces) {
    const int columns = std::max(3, static_cast<int>(std::sqrt(faces / 6.0)));
    const int rows = std::max(3, static_cast<int>(faces / (2L * columns)));
    return tubeAround([](double t) { return Point{12 * std::cos(t), 12 * std::sin(t), 0}; }, 4.5, rows, columns);
}

// A trefoil knot: asymmetric enough to show which way it turns.
Mesh knot(long faces) {
    const int columns = std::max(3, static_cast<int>(std::sqrt(faces / 16.0)));
    const int rows = std::max(3, static_cast<int>(faces / (2L * columns)));
    return tubeAround(
        [](double t) {
            return Point{4.2 * (std::sin(t) + 2 * std::sin(2 * t)), 4.2 * (std::cos(t) - 2 * std::cos(2 * t)),
                         -4.2 * std::sin(3 * t)};
        },
        2.2, rows, columns);
}

// Latitude-longitude sphere of radius 13 with a vertex at each pole.
Mesh sphere(long faces) {
    const int columns = std::max(3, static_cast<int>(std::sqrt(faces / 2.0)));
    const int bands = std::max(2, static_cast<int>(faces / (2L * columns)) + 1);
    Mesh mesh;
    mesh.points.push_back({0, 0, 13});
    for (int i = 1; i < bands; ++i) {
        const double phi = pi * i / bands;
        for (int j = 0; j < columns; ++j) {
            const double theta = 2 * pi * j / columns;
            mesh.points.push_back(
                {13 * std::sin(phi) * std::cos(theta), 13 * std::sin(phi) * std::sin(theta), 13 * std::cos(phi)});
        }
    }
    const int south = static_cast<int>(mesh.points.size());
    mesh.points.push_back({0, 0, -13});
    for (int j = 0; j < columns; ++j) mesh.triangles.push_back({0, 1 + j, 1 + (j + 1) % columns});
    for (int i = 1; i + 1 < bands; ++i)
        for (int j = 0; j < columns; ++j) {
            const int a = 1 + (i - 1) * columns + j, b = 1 + (i - 1) * columns + (j + 1) % columns;
            const int c = b + columns, d = a + columns;
            mesh.triangles.push_back({a, d, c});
            mesh.triangles.push_back({a, c, b});
        }
    const int last = 1 + (bands - 2) * columns;
    for (int j = 0; j < columns; ++j) mesh.triangles.push_back({south, last + (j + 1) % columns, last + j});
    return mesh;
}

// Every face names the apex as its corner 0: the most faces that can share
// one corner slot of one vertex.
Mesh fan(long faces) {
    Mesh mesh;
    const int ring = static_cast<int>(std::max(3L, faces));
    mesh.points.push_back({0, 0, 10});
    for (int i = 0; i < ring; ++i) {
        const double t = 2 * pi * i / ring, wave = 1 + 0.3 * std::sin(7 * t);
        mesh.points.push_back({12 * wave * std::cos(t), 12 * wave * std::sin(t), -5});
    }
    for (int i = 0; i < ring; ++i) mesh.triangles.push_back({0, 1 + i, 1 + (i + 1) % ring});
    return mesh;
}

void write(const Mesh& mesh, int digits) {
    std::printf("OFF\n%zu %zu 0\n", mesh.points.size(), mesh.triangles.size());
    for (const Point& p : mesh.points) std::printf("%.*g %.*g %.*g\n", digits, p.x, digits, p.y, digits, p.z);
    for (const Triangle& t : mesh.triangles) std::printf("3 %d %d %d\n", t.a, t.b, t.c);
}

int usage() {
    std::fputs(
        "usage: meshgen torus|sphere|knot|fan FACES [DIGITS] > mesh.off\n"
        "Writes a z-up OFF triangle mesh of about FACES triangles, about 30 units\n"
        "across, with coordinates printed to DIGITS significant digits (default 17).\n",
        stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) return usage();
    const long faces = std::strtol(argv[2], nullptr, 10);
    const int digits = argc == 4 ? std::atoi(argv[3]) : 17;
    if (faces < 1 || faces > 100000000 || digits < 1 || digits > 17) return usage();
    const std::string shape = argv[1];
    if (shape == "torus") write(torus(faces), digits);
    else if (shape == "sphere")
        write(sphere(faces), digits);
    else if (shape == "knot")
        write(knot(faces), digits);
    else if (shape == "fan")
        write(fan(faces), digits);
    else
        return usage();
    return 0;
}
