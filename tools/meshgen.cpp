// meshgen: writes deterministic OFF triangle meshes, modelled z-up around the
// origin and sized for tarvexgl's fixed camera (about 30 units across).
//
//   meshgen torus|sphere|knot|vase|fan|degenerate FACES [DIGITS] > mesh.off
//   meshgen --help
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

struct ProfilePoint {
    double r, z;
};

// A surface of revolution about the z axis: the profile, in the (r, z)
// half-plane, starts and ends on the axis, where it becomes a single vertex
// (a pole); every point in between becomes a ring of `columns` vertices.
// Walking the profile, the inside of the solid is on the right (the sphere
// goes from north pole to south pole), so faces turn anticlockwise seen from
// outside.
Mesh lathe(const std::vector<ProfilePoint>& profile, int columns) {
    const int rings = static_cast<int>(profile.size()) - 2;
    Mesh mesh;
    mesh.points.push_back({0, 0, profile.front().z});
    for (int i = 1; i <= rings; ++i)
        for (int j = 0; j < columns; ++j) {
            const double theta = 2 * pi * j / columns;
            mesh.points.push_back({profile[i].r * std::cos(theta), profile[i].r * std::sin(theta), profile[i].z});
        }
    const int south = static_cast<int>(mesh.points.size());
    mesh.points.push_back({0, 0, profile.back().z});
    for (int j = 0; j < columns; ++j) mesh.triangles.push_back({0, 1 + j, 1 + (j + 1) % columns});
    for (int i = 1; i < rings; ++i)
        for (int j = 0; j < columns; ++j) {
            const int a = 1 + (i - 1) * columns + j, b = 1 + (i - 1) * columns + (j + 1) % columns;
            const int c = b + columns, d = a + columns;
            mesh.triangles.push_back({a, d, c});
            mesh.triangles.push_back({a, c, b});
        }
    const int last = 1 + (rings - 1) * columns;
    for (int j = 0; j < columns; ++j) mesh.triangles.push_back({south, last + (j + 1) % columns, last + j});
    return mesh;
}

// Latitude-longitude sphere of radius 13 with a vertex at each pole.
Mesh sphere(long faces) {
    const int columns = std::max(3, static_cast<int>(std::sqrt(faces / 2.0)));
    const int bands = std::max(2, static_cast<int>(faces / (2L * columns)) + 1);
    std::vector<ProfilePoint> profile{{0, 13}};
    for (int i = 1; i < bands; ++i) {
        const double phi = pi * i / bands;
        profile.push_back({13 * std::sin(phi), 13 * std::cos(phi)});
    }
    profile.push_back({0, -13});
    return lathe(profile, columns);
}

// `count` points spaced evenly along the polyline, its two ends kept exactly:
// an even spacing gives rows of similar height wherever the curve goes.
std::vector<ProfilePoint> evenlySpaced(const std::vector<ProfilePoint>& line, int count) {
    std::vector<double> length{0};
    for (std::size_t i = 1; i < line.size(); ++i)
        length.push_back(length.back() + std::hypot(line[i].r - line[i - 1].r, line[i].z - line[i - 1].z));
    std::vector<ProfilePoint> out{line.front()};
    std::size_t segment = 1;
    for (int k = 1; k + 1 < count; ++k) {
        const double at = length.back() * k / (count - 1);
        while (length[segment] <= at) ++segment;  // never stops on a zero-length segment
        const double f = (at - length[segment - 1]) / (length[segment] - length[segment - 1]);
        const ProfilePoint& p = line[segment - 1];
        const ProfilePoint& q = line[segment];
        out.push_back({p.r + f * (q.r - p.r), p.z + f * (q.z - p.z)});
    }
    out.push_back(line.back());
    return out;
}

// A hollow vase 30 units tall with a wall 0.8 thick: belly, neck and flared
// lip. A closed surface (the profile runs from the middle of the inner floor
// up the inside, over the rounded lip, down the outside and in along the
// foot), so no back face is ever seen.
Mesh vase(long faces) {
    const int columns = std::max(3, static_cast<int>(std::sqrt(faces / 2.0)));
    const int rows = std::max(1, static_cast<int>(faces / (2L * columns)));
    const double wall = 0.8, floor = -13.5, dense = 4000;
    const auto outer = [](double u) { return 7.5 + 4 * std::sin(1.6 * pi * u) + 3 * std::pow(u, 8); };
    const auto height = [](double u) { return -15 + 30 * u; };
    const double floorU = (floor + 15) / 30;
    std::vector<ProfilePoint> line{{0, floor}};
    for (int i = 0; i <= dense; ++i) {  // inside wall, up
        const double u = floorU + (1 - floorU) * i / dense;
        line.push_back({outer(u) - wall, height(u)});
    }
    for (int i = 1; i < dense; ++i) {  // over the lip
        const double a = pi - pi * i / dense;
        line.push_back({outer(1) - wall / 2 + wall / 2 * std::cos(a), 15 + wall / 2 * std::sin(a)});
    }
    for (int i = 0; i <= dense; ++i) {  // outside wall, down
        const double u = 1 - i / dense;
        line.push_back({outer(u), height(u)});
    }
    line.push_back({0, -15});
    return lathe(evenlySpaced(line, rows + 2), columns);
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

// One vertex that every corner of every face names: each face is degenerate
// and one group per corner slot holds them all. A benchmark, not a sight.
Mesh degenerate(long faces) {
    Mesh mesh;
    mesh.points.push_back({0, 0, 0});
    mesh.triangles.assign(static_cast<std::size_t>(faces), {0, 0, 0});
    return mesh;
}

void write(const Mesh& mesh, int digits) {
    std::printf("OFF\n%zu %zu 0\n", mesh.points.size(), mesh.triangles.size());
    for (const Point& p : mesh.points) std::printf("%.*g %.*g %.*g\n", digits, p.x, digits, p.y, digits, p.z);
    for (const Triangle& t : mesh.triangles) std::printf("3 %d %d %d\n", t.a, t.b, t.c);
}

int usage(std::FILE* to, int status) {
    std::fputs(
        "usage: meshgen torus|sphere|knot|vase|fan|degenerate FACES [DIGITS] > mesh.off\n"
        "       meshgen --help\n"
        "Writes a z-up OFF triangle mesh of about FACES triangles, about 30 units\n"
        "across around the origin, with coordinates printed to DIGITS significant\n"
        "digits (default 17, the exact double). The same arguments always give the\n"
        "same bytes.\n"
        "  torus   ring of radius 12 around z, tube radius 4.5\n"
        "  sphere  radius 13, latitude-longitude, a vertex at each pole\n"
        "  knot    trefoil knot, tube radius 2.2\n"
        "  vase    hollow vase 30 tall (z from -15 to 15), closed surface\n"
        "  fan     wavy cone whose every face has the apex as corner 0\n"
        "  degenerate  one vertex, and FACES faces that name it three times\n",
        to);
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) return usage(stdout, 0);
    if (argc < 3 || argc > 4) return usage(stderr, 2);
    const long faces = std::strtol(argv[2], nullptr, 10);
    const int digits = argc == 4 ? std::atoi(argv[3]) : 17;
    if (faces < 1 || faces > 100000000 || digits < 1 || digits > 17) return usage(stderr, 2);
    const std::string shape = argv[1];
    if (shape == "torus") write(torus(faces), digits);
    else if (shape == "sphere")
        write(sphere(faces), digits);
    else if (shape == "knot")
        write(knot(faces), digits);
    else if (shape == "vase")
        write(vase(faces), digits);
    else if (shape == "fan")
        write(fan(faces), digits);
    else if (shape == "degenerate")
        write(degenerate(faces), digits);
    else
        return usage(stderr, 2);
    return 0;
}
