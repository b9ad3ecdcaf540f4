#include "fitting/fit_mesh.h"

#include <exception>
#include <new>
#include <utility>

#include "formats/mesh_file.h"
#include "geometry/framing.h"
#include "geometry/orient.h"
#include "geometry/safe_range.h"
#include "geometry/triangle_mesh.h"
#include "geometry/up_axis.h"

namespace {

// The steps after the reader word their lines without the file: it goes in
// front.
bool refuse(const std::string& path, std::string& error) {
    error = path + ": " + error;
    return false;
}

// One step a line, in the order the steps need: each relies on the ones
// above it.
bool fitSteps(const std::string& path, const FitSettings& settings, FittedMesh& fitted, std::string& error) {
    PolygonMesh polygons;
    UpAxis formatUp{};
    TriangleMesh& mesh = fitted.mesh;
    if (!readMeshFile(path, polygons, formatUp, error)) return false;
    scaleIntoSafeRange(polygons.vertices);
    // On the polygons as listed: the two copies of a double-sided quad, cut
    // into triangles, need not share a diagonal.
    const OrientationChanges oriented = orientOutward(polygons);
    if (!triangulateFaces(std::move(polygons), mesh, error)) return refuse(path, error);
    splitSharpEdges(mesh, settings.creaseDegrees);
    standUp(mesh.vertices, settings.up.value_or(formatUp));
    keepUsedVertices(mesh);
    if (!frameForViewer(mesh.vertices, error)) return refuse(path, error);
    const std::string changed = describeChanges(oriented);
    fitted.told = changed.empty() ? "" : path + ": " + changed;
    return true;
}

}  // namespace

bool fitMeshFile(const std::string& path, const FitSettings& settings, FittedMesh& fitted, std::string& error) {
    fitted = FittedMesh{};
    // Running out of memory anywhere in the pipeline is one line like any
    // other refusal (the readers name the counts they could not hold).
    try {
        if (fitSteps(path, settings, fitted, error)) return true;
    } catch (const std::bad_alloc&) {
        error = path + ": not enough memory to fit this mesh (free some, or raise ulimit -v)";
    } catch (const std::exception& e) {
        error = path + ": cannot fit it: " + e.what();
    }
    fitted = FittedMesh{};
    return false;
}
