#include "mesh/model.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "mesh/file_bytes.h"
#include "mesh/off_reader.h"
#include "mesh/workers.h"

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
    // The text goes as soon as the numbers are out of it, before the face
    // table is first touched: the two together would set the peak of the load.
    const int threads = availableThreads();
    std::string error;
    Table<std::int32_t> corners;
    const bool read = readModelNumbers(bytes.text(), path, *this, corners, error, threads);
    bytes = FileBytes{};
    if (read && fillModelFaces(path, *this, corners.get(), error, threads)) return;
    std::fprintf(stderr, "Model Constructor: %s\n", error.c_str());
    std::exit(-1);
}
