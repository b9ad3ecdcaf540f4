#include "temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

TempFolder::TempFolder() {
    std::string pattern = ::testing::TempDir() + "tarvexgl-test-XXXXXX";
    if (::mkdtemp(pattern.data())) path = pattern;
    EXPECT_FALSE(path.empty()) << "cannot make a folder under " << ::testing::TempDir();
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
}

std::string TempFolder::write(const std::string& name, std::string_view contents) const {
    std::string file = *this / name;
    std::ofstream out(file, std::ios::binary);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    EXPECT_TRUE(out.flush()) << "cannot write " << file;
    return file;
}
