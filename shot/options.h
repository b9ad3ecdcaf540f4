// tarvexgl-shot's command line.
#pragma once

#include <optional>
#include <string>

#include "rendering/mesh_pictures.h"

struct Options {
    std::string mesh;        // MESH.off, or with --thumbnail any format tarvexgl-fit reads
    PictureRequest picture;  // what to draw, and OUT
};

// Reads argv into `options` (process/options.h). Returns nothing when the
// program is to go on; otherwise the status to exit with, the reason already
// printed: 0 after --help or --version, 2 after a usage error (one line on
// standard error).
std::optional<int> readOptions(int argc, char** argv, Options& options);
