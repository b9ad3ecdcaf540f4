// tarvexgl-shot: the viewer's frames as pictures, with no display: one frame
// as PNG, a whole turn as an animated GIF, or a file manager's thumbnail of
// a mesh in any format, fitted here as tarvexgl-fit fits it.
#include <optional>
#include <string>
#include <utility>

#include "fitting/fit_mesh.h"
#include "mesh/model.h"
#include "process/error_line.h"
#include "rendering/mesh_pictures.h"
#include "shot/options.h"

namespace {

// The viewer's status for a mesh it cannot load: exit(-1).
constexpr int cannotLoad = 255;

// MESH.off loaded as the viewer loads it, with the viewer's words when it
// cannot be.
bool loadAsViewer(const std::string& path, Model& model) {
    std::string error;
    if (loadModel(path.c_str(), model, error)) return true;
    printErrorLine({"Model Constructor: ", error});
    return false;
}

// Any format, fitted here as tarvexgl-fit fits it: our own readers in this
// process, the Open Asset Import Library's formats in a limited child.
bool loadFitted(const std::string& path, Model& model) {
    FittedMesh fitted;
    std::string error;
    if (!fitMeshFile(path, FitSettings{}, fitted, error)) {
        printErrorLine({error});
        return false;
    }
    if (!fitted.told.empty()) printErrorLine({fitted.told});
    if (modelFromTriangles(fitted.mesh, path.c_str(), model, error)) return true;
    printErrorLine({error});
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    setProgramName("tarvexgl-shot");
    Options options;
    if (const std::optional<int> status = readOptions(argc, argv, options)) return *status;
    Model model;
    const bool thumbnail = options.picture.kind == PictureKind::thumbnail;
    if (!(thumbnail ? loadFitted(options.mesh, model) : loadAsViewer(options.mesh, model))) return cannotLoad;
    std::string error;
    const int status = drawPicture(std::move(model), options.picture, error);
    if (status != 0) printErrorLine({error});
    return status;
}
