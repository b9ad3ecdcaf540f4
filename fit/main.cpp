// tarvexgl-fit: turns a mesh in any common format into an OFF file that the
// tarvexgl viewer shows whole and large, or shows it straight away. fitMesh
// is the whole pipeline, one step a line.
#include <exception>
#include <new>
#include <optional>
#include <string>
#include <utility>

#include "fit/options.h"
#include "fit/shot_picture.h"
#include "fit/show_viewer.h"
#include "formats/mesh_file.h"
#include "formats/off_writer.h"
#include "geometry/crease.h"
#include "geometry/framing.h"
#include "geometry/orient.h"
#include "geometry/safe_range.h"
#include "geometry/triangle_mesh.h"
#include "geometry/up_axis.h"
#include "process/error_line.h"

namespace {

int fail(const std::string& what) {
    printErrorLine({what});
    return 1;
}

// One line when the faces were not as the file has them: the user may want
// to mend the file itself.
void tellWhatChanged(const std::string& path, const OrientationChanges& changes) {
    const std::string changed = describeChanges(changes);
    if (!changed.empty()) printErrorLine({path, ": ", changed});
}

// The fitted mesh where the options send it: the viewer, a picture, or a file.
int deliver(const TriangleMesh& mesh, const Options& options, const std::string& viewer) {
    std::string error;
    if (!options.show && options.picture.output.empty())
        return writeOffFile(mesh, options.output, error) ? 0 : fail(options.output + ": " + error);
    const int status = options.show ? showInViewer(mesh, viewer, error) : drawWithShot(mesh, options.picture, error);
    return status >= 0 ? status : fail(error);
}

int fitMesh(const Options& options, const std::string& viewer) {
    const std::string& path = options.input;
    std::string error;
    PolygonMesh polygons;
    UpAxis formatUp{};
    TriangleMesh mesh;
    if (!readMeshFile(path, polygons, formatUp, error)) return fail(error);
    scaleIntoSafeRange(polygons.vertices);
    // On the polygons as listed: the two copies of a double-sided quad, cut
    // into triangles, need not share a diagonal.
    const OrientationChanges oriented = orientOutward(polygons);
    if (!triangulateFaces(std::move(polygons), mesh, error)) return fail(path + ": " + error);
    splitSharpEdges(mesh, options.creaseDegrees);
    standUp(mesh.vertices, options.up.value_or(formatUp));
    keepUsedVertices(mesh);
    if (!frameForViewer(mesh.vertices, error)) return fail(path + ": " + error);
    tellWhatChanged(path, oriented);
    return deliver(mesh, options, viewer);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (const std::optional<int> status = readOptions(argc, argv, options)) return *status;
    // Looked for first, so that a missing viewer is said before the work.
    const std::string viewer = options.show ? findViewer() : "";
    if (options.show && viewer.empty()) return fail("--show: no tarvexgl beside this program or on PATH");
    // Running out of memory anywhere in the pipeline is one line like any
    // other refusal (the readers name the counts they could not hold).
    try {
        return fitMesh(options, viewer);
    } catch (const std::bad_alloc&) {
        return fail(options.input + ": not enough memory to fit this mesh (free some, or raise ulimit -v)");
    } catch (const std::exception& e) {
        return fail(options.input + ": cannot fit it: " + e.what());
    }
}
