#include "temp_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

std::string writeTempFile(std::string_view name, std::string_view contents) {
    std::string path = ::testing::TempDir() + std::string(name);
    std::ofstream out(path, std::ios::binary);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    return path;
}

std::string readTextFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
}
