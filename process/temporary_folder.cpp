#include "process/temporary_folder.h"

#include <cstdlib>

std::string temporaryFolder() {
    const char* tmpdir = std::getenv("TMPDIR");
    std::string folder = tmpdir ? tmpdir : "";
    if (folder.starts_with('/') && folder.find_first_of(" \t\n\r\v\f") == std::string::npos) return folder;
    return "/tmp";
}
