// Files the tests write. ctest runs every test as a process of its own, many
// at once, so each test process keeps its files in a folder of its own: a
// fixed name inside it can never meet another test's file of that name.
#pragma once

#include <string>
#include <string_view>

// This process's folder, ending in '/': made with mkdtemp under GoogleTest's
// temporary folder (TEST_TMPDIR, else /tmp) on first use, and removed with
// all it holds when the process exits.
const std::string& tempFolder();

// Writes `contents` to `name`, a path relative to tempFolder() whose folders
// exist, and returns the whole path.
std::string writeTempFile(std::string_view name, std::string_view contents);

std::string readTextFile(const std::string& path);

// A new, empty folder of one test's own inside tempFolder(), for a test that
// must see exactly what a program leaves in a folder; removed with all it
// holds when the object goes.
struct TempFolder {
    std::string path;  // ends in '/'

    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The path of `name` inside it.
    std::string operator/(std::string_view name) const { return path + std::string(name); }

    // Writes `contents` to the file `name` inside it; returns its path.
    std::string write(std::string_view name, std::string_view contents) const;
};
