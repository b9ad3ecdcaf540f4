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
