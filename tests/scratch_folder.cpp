#include "scratch_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

ScratchFolder::ScratchFolder(std::string_view prefix) {
    std::string pattern = ::testing::TempDir() + std::string(prefix) + "-XXXXXX";
    if (::mkdtemp(pattern.data())) path = pattern;
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
}

std::string ScratchFolder::write(std::string_view name, std::string_view contents) const {
    std::string file = path + "/" + std::string(name);
    std::ofstream out(file, std::ios::binary);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    return file;
}
