// tarvexgl-fit: turns a mesh in any common format into an OFF file that the
// tarvexgl viewer shows whole and large, or shows it straight away, or draws
// it into a picture. The pipeline itself is fitting/fit_mesh.h.
#include <optional>
#include <string>
#include <utility>

#include "fit/options.h"
#include "fit/show_viewer.h"
#include "fitting/fit_mesh.h"
#include "formats/off_writer.h"
#include "mesh/model.h"
#include "process/error_line.h"
#include "process/find_program.h"
#include "rendering/mesh_pictures.h"

namespace {

int fail(const std::string& what) {
    printErrorLine({what});
    return 1;
}

// The viewer's own Model of the fitted mesh, drawn into a picture.
int drawFitted(TriangleMesh&& mesh, const Options& options) {
    Model model;
    std::string error;
    const bool built = modelFromTriangles(mesh, options.input.c_str(), model, error);
    mesh = TriangleMesh{};  // the Model holds all it needs: not both at the peak
    if (!built) return fail(error);
    const int status = drawPicture(std::move(model), *options.picture, error);
    if (status != 0) printErrorLine({error});
    return status;
}

// The fitted mesh where the options send it: the viewer, a picture, or a file.
int deliver(TriangleMesh&& mesh, const Options& options, const std::string& viewer) {
    std::string error;
    if (options.picture) return drawFitted(std::move(mesh), options);
    if (!options.show) return writeOffFile(mesh, options.output, error) ? 0 : fail(options.output + ": " + error);
    const int status = showInViewer(mesh, viewer, error);
    return status >= 0 ? status : fail(error);
}

}  // namespace

int main(int argc, char** argv) {
    setProgramName("tarvexgl-fit");
    Options options;
    if (const std::optional<int> status = readOptions(argc, argv, options)) return *status;
    // Looked for first, so that a missing viewer is said before the work.
    const std::string viewer = options.show ? findProgram("tarvexgl") : "";
    if (options.show && viewer.empty()) return fail("--show: no tarvexgl beside this program or on PATH");
    FittedMesh fitted;
    std::string error;
    if (!fitMeshFile(options.input, options.fit, fitted, error)) return fail(error);
    if (!fitted.told.empty()) printErrorLine({fitted.told});
    return deliver(std::move(fitted.mesh), options, viewer);
}
