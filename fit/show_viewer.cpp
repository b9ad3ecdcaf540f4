#include "fit/show_viewer.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "formats/off_writer.h"
#include "process/child_process.h"
#include "process/temporary_folder.h"

int showInViewer(const TriangleMesh& mesh, const std::string& viewer, std::string& error) {
    const std::string folder = temporaryFolder();
    std::string file = folder + "/tarvexgl-fit-XXXXXX.off";
    const int fd = ::mkstemps(file.data(), 4);
    if (fd < 0) {
        error = "cannot create a temporary file in " + folder + ": " + std::strerror(errno);
        return -1;
    }
    const bool written = writeOff(mesh, fd);
    const int writeErrno = errno;
    if (::close(fd) != 0 || !written) {
        error = file + ": cannot write it: " + std::strerror(written ? errno : writeErrno);
        ::unlink(file.c_str());
        return -1;
    }
    // The viewer's standard output carries nothing but its prompt, which this
    // answers: the user is not asked for anything.
    ProgramRun run{viewer, {}, file + "\n", true, [&] { ::unlink(file.c_str()); }};
    const int status = runProgram(run, error);
    if (status < 0) ::unlink(file.c_str());
    return status;
}
