#include "fit/other_formats.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string_view>

#include "fit/isolated_import.h"
#include "fit/obj_reader.h"
#include "fit/ply_reader.h"
#include "fit/read_file.h"
#include "fit/stl_reader.h"

namespace {

enum class Reader { stl, ply, obj, importer };

bool endsWith(const std::string& path, std::string_view extension) {
    if (path.size() < extension.size()) return false;
    return std::equal(extension.begin(), extension.end(), path.end() - static_cast<std::ptrdiff_t>(extension.size()),
                      [](char a, char b) { return a == (b >= 'A' && b <= 'Z' ? b - 'A' + 'a' : b); });
}

Reader readerFor(const std::string& path) {
    if (endsWith(path, ".stl")) return Reader::stl;
    if (endsWith(path, ".ply")) return Reader::ply;
    if (endsWith(path, ".obj")) return Reader::obj;
    char head[64] = {};
    std::size_t n = 0;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        n = std::fread(head, 1, sizeof head, file);
        std::fclose(file);
    }
    return startsAsPly(std::string_view(head, n)) ? Reader::ply : Reader::importer;
}

std::string sizeInWords(std::size_t bytes) {
    if (bytes >= std::size_t{10} << 20) return std::to_string(bytes >> 20) + " MiB";
    if (bytes >= std::size_t{10} << 10) return std::to_string(bytes >> 10) + " KiB";
    return std::to_string(bytes) + " bytes";
}

}  // namespace

bool readOtherFormat(const std::string& path, PolygonMesh& mesh, std::string& error) {
    const Reader reader = readerFor(path);
    if (reader == Reader::importer) {
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0) {
            error = path + ": cannot open: " + std::strerror(errno);
            return false;
        }
        return importInChild(path, static_cast<std::uint64_t>(info.st_size), mesh, error);
    }
    FileBytes file;
    if (!readWholeFile(path, file, error)) {
        error = path + ": " + error;
        return false;
    }
    try {
        switch (reader) {
            case Reader::stl: return readStl(file.text(), path, mesh, error);
            case Reader::ply: return readPly(file.text(), path, mesh, error);
            case Reader::obj:
            case Reader::importer: break;
        }
        return readObj(file.text(), path, mesh, error);
    } catch (const std::bad_alloc&) {
        mesh = PolygonMesh{};
        error = path + ": not enough memory to read a mesh from its " + sizeInWords(file.size);
        return false;
    }
}
