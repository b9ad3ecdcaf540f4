// A folder of one test's own under the test temporary folder (mkdtemp), with
// everything in it removed when the test ends: tests run in parallel, and
// none may meet another's files.
#pragma once

#include <string>
#include <string_view>

struct ScratchFolder {
    std::string path;  // empty when the folder could not be made

    explicit ScratchFolder(std::string_view prefix);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // Writes `contents` to the file `name` in the folder; returns its path.
    std::string write(std::string_view name, std::string_view contents) const;
};
