// Test files written under GoogleTest's temporary folder.
#pragma once

#include <string>
#include <string_view>

// Writes `contents` to a file called `name` in the test temporary folder and
// returns its path.
std::string writeTempFile(std::string_view name, std::string_view contents);

std::string readTextFile(const std::string& path);
