// tarvexgl-fit's command line.
#pragma once

#include <optional>
#include <string>

#include "fit/shot_picture.h"
#include "geometry/crease.h"
#include "geometry/up_axis.h"

struct Options {
    std::string input;
    std::string output = "-";  // "-" is standard output
    std::optional<UpAxis> up;  // none: the file format's own
    double creaseDegrees = defaultCreaseDegrees;
    bool show = false;
    ShotRequest picture;  // --shot or --turn
};

// Reads argv into `options`. Returns nothing when the program is to go on;
// otherwise the status to exit with, the reason already printed: 0 after
// --help or --version, 2 after a usage error (one line on standard error).
std::optional<int> readOptions(int argc, char** argv, Options& options);
