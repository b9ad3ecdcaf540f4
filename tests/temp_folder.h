// A folder of one test's own under the test temporary folder, made with
// mkdtemp (so that tests running at once never share a file) and removed
// with everything in it when the test is done with it.
#pragma once

#include <string>
#include <string_view>

struct TempFolder {
    std::string path;  // empty when it could not be made

    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The path of `name` inside it.
    std::string operator/(const std::string& name) const { return path + "/" + name; }

    // Writes `contents` to the file `name` inside it; returns its path.
    std::string write(const std::string& name, std::string_view contents) const;
};
