// tarvexgl-fit's command line.
#pragma once

#include <optional>
#include <string>

#include "fitting/fit_mesh.h"
#include "rendering/mesh_pictures.h"

struct Options {
    std::string input;
    std::string output = "-";  // "-" is standard output
    FitSettings fit;
    bool show = false;
    std::optional<PictureRequest> picture;  // --shot (a frame) or --turn
};

// Reads argv into `options` (process/options.h). Returns nothing when the
// program is to go on; otherwise the status to exit with, the reason already
// printed: 0 after --help or --version, 2 after a usage error (one line on
// standard error).
std::optional<int> readOptions(int argc, char** argv, Options& options);
