// --show: the fitted mesh straight into the viewer.
#pragma once

#include <sys/types.h>

#include <string>

#include "mesh/polygon_mesh.h"

// The companion program `name` to run: the one beside this program (found
// through /proc/self/exe, so an installed set and a build folder both work),
// else the first on PATH. Empty when there is none.
std::string findProgram(const std::string& name);

// The viewer to run: findProgram("tarvexgl").
std::string findViewer();

// The child's side of a fork: runs `program` with `argv`, or says on
// standard error why it cannot and ends with status 127, as a shell does.
[[noreturn]] void runProgram(const std::string& program, char* const argv[]);

// Waits for `child` to end: its exit status, or 128 + the signal that ended
// it, as a shell gives them.
int waitForExit(pid_t child);

// Writes `mesh` into a new temporary file, runs `viewer` with that file's
// path on its standard input (the viewer's prompt asks for it, on a standard
// output that goes to /dev/null, as the user is asked nothing), waits for it,
// and removes the file. The viewer starts with the signal dispositions this
// program was started with. Returns the viewer's exit status (128 + the signal
// when a signal ended it), or -1 with a one-line reason in `error` when the
// file cannot be written or the viewer cannot be started. While the viewer
// runs, an interrupt from the terminal (which reaches the viewer too) does not
// end this program before the file is removed, and SIGTERM or SIGHUP is
// passed on to the viewer, whose end then removes the file as usual.
int showInViewer(const TriangleMesh& mesh, const std::string& viewer, std::string& error);
