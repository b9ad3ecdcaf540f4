// --show: the fitted mesh straight into the viewer.
#pragma once

#include <string>

#include "mesh/polygon_mesh.h"

// Writes `mesh` into a new temporary file (process/temporary_folder.h), runs
// `viewer` with that file's path on its standard input (the viewer's prompt
// asks for it, on a standard output that goes to /dev/null, as the user is
// asked nothing), waits for it, and removes the file. Returns the viewer's
// exit status (128 + the signal when a signal ended it), or -1 with a
// one-line reason in `error` when the file cannot be written or the viewer
// cannot be started. How signals are handled meanwhile (Ctrl-C reaches the
// viewer, not this program; SIGTERM and SIGHUP are passed on to it; the file
// is removed either way) is runProgram's (process/child_process.h).
int showInViewer(const TriangleMesh& mesh, const std::string& viewer, std::string& error);
