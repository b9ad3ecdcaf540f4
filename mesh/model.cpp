#include "mesh/model.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "mesh/file_bytes.h"
#include "mesh/off_reader.h"

std::optional<Model> theModel;

Model::Model(const char* path) {
    FileBytes bytes;
    switch (readFileBytes(path, bytes)) {
        case ReadStatus::ok: break;
        case ReadStatus::cannotOpen: std::fprintf(stderr, "Model Constructor: Couldn't open %s\n", path); std::exit(-1);
        case ReadStatus::outOfMemory:
            std::fprintf(stderr, "Model Constructor: %s: not enough memory to read the file\n", path);
            std::exit(-1);
    }
    std::string error;
    if (!buildModel(bytes.text(), path, *this, error)) {
        std::fprintf(stderr, "Model Constructor: %s\n", error.c_str());
        std::exit(-1);
    }
}
