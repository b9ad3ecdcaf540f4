// --thumbnail: any mesh tarvexgl-fit reads, framed by it for the viewer.
#pragma once

#include <string>

// Runs tarvexgl-fit (the one beside this program, else the first on PATH)
// on `input` and leaves the fitted mesh, in the viewer's OFF layout, in a
// temporary file that has no name: `fd` is open on it, and /dev/fd/<fd>
// reads it. The file goes when the process ends, however it ends, and
// tarvexgl-fit is killed if this process dies first. Returns:
//   0    the fitted mesh is in the file;
//   255  tarvexgl-fit refused the mesh (its own line on standard error says
//        why, `error` is empty) or a signal ended it (`error` says which);
//   1    it cannot be run, or no temporary file can be made (`error`).
// `error` is one line with no line break.
int fitIntoTemporaryFile(const std::string& input, int& fd, std::string& error);
