// tarvexgl-fit: turns a mesh in any common format into an OFF file that the
// tarvexgl viewer shows whole and large, or shows it straight away.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fit/error_line.h"
#include "fit/fit_mesh.h"
#include "fit/off_writer.h"
#include "fit/show_viewer.h"

namespace {

constexpr const char* usage =
    "Usage: tarvexgl-fit [--up AXIS] [--show] INPUT [OUTPUT]\n"
    "\n"
    "Reads the mesh INPUT and writes OUTPUT (standard output when OUTPUT is - or\n"
    "missing) as an OFF triangle mesh that tarvexgl shows whole, large and turning,\n"
    "seen a little from above: scaled uniformly and moved so that it stays inside\n"
    "the window at every turntable angle.\n"
    "\n"
    "  --up AXIS   the input axis that points up: x, y, z, -x, -y or -z.\n"
    "              Default: z for OFF and STL, y for every other format.\n"
    "  --show      write into a temporary file and open it in tarvexgl (the one\n"
    "              beside this program, else the one on PATH); the file is\n"
    "              removed when the viewer ends, whose exit status is returned.\n"
    "              Takes no OUTPUT.\n"
    "  --help      this text.\n"
    "  --version   the version.\n"
    "\n"
    "Formats: OFF (text and binary, COFF/NOFF/STOFF/4OFF/nOFF, comments,\n"
    "colours, polygons), STL, PLY and OBJ by readers of its own; the other\n"
    "formats of the Open Asset Import Library through that library, run apart\n"
    "with limits on its memory and time (see the manual).\n"
    "\n"
    "Polygons become triangles that cover them exactly, facing the same way;\n"
    "triangles stay as they are. Faces of fewer than three corners (points and\n"
    "edges) have no surface and are dropped; so are vertices no face uses. A\n"
    "polygon of more than 2000 corners that crosses or touches itself is refused.\n"
    "\n"
    "On input that cannot be read, or holds no face, one line on standard error\n"
    "and exit status 1; OUTPUT is then left as it was. Usage errors: status 2.\n";

int usageError(const std::string& what) {
    printErrorLine({what, " (see tarvexgl-fit --help)"});
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::optional<UpAxis> up;
    bool show = false;
    std::vector<std::string> files;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
            files.emplace_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(usage, stdout);
            return 0;
        } else if (arg == "--version") {
            std::puts("tarvexgl-fit " TARVEXGL_VERSION);
            return 0;
        } else if (arg == "--show") {
            show = true;
        } else if (arg == "--up" || arg.starts_with("--up=")) {
            std::string_view value;
            if (arg == "--up") {
                if (i + 1 == argc) return usageError("--up needs an axis: x, y, z, -x, -y or -z");
                value = argv[++i];
            } else {
                value = arg.substr(5);
            }
            up = parseUpAxis(value);
            if (!up) return usageError("--up takes x, y, z, -x, -y or -z, not '" + std::string(value) + "'");
        } else {
            return usageError("unknown option '" + std::string(arg) + "'");
        }
    }
    if (files.empty()) return usageError("no INPUT given");
    if (files.size() > (show ? 1u : 2u))
        return usageError(show ? "--show takes no OUTPUT" : "more than INPUT and OUTPUT given");

    std::string viewer;
    if (show) {
        viewer = findViewer();
        if (viewer.empty()) {
            printErrorLine({"--show: no tarvexgl beside this program or on PATH"});
            return 1;
        }
    }

    // Running out of memory anywhere below is one line like any other
    // refusal (the readers name the counts they could not hold).
    try {
        TriangleMesh fitted;
        std::string error;
        if (!fitMeshFile(files[0], up, fitted, error)) {
            printErrorLine({error});
            return 1;
        }
        if (show) {
            const int status = showInViewer(fitted, viewer, error);
            if (status < 0) {
                printErrorLine({error});
                return 1;
            }
            return status;
        }
        const std::string output = files.size() == 2 ? files[1] : "-";
        if (!writeOffFile(fitted, output, error)) {
            printErrorLine({output, ": ", error});
            return 1;
        }
        return 0;
    } catch (const std::bad_alloc&) {
        printErrorLine({files[0], ": not enough memory to fit this mesh (free some, or raise ulimit -v)"});
    } catch (const std::exception& e) {
        printErrorLine({files[0], ": cannot fit it: ", e.what()});
    }
    return 1;
}
