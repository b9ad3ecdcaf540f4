// Where a companion keeps a temporary file.
#pragma once

#include <string>

// $TMPDIR when it is an absolute path with no white space in it, else /tmp.
// The viewer reads the path of the file it is given as one word at its
// prompt, so a folder whose name holds a blank would hand it half a path.
std::string temporaryFolder();
