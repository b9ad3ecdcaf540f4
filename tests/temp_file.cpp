#include "temp_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace {

// Made with mkdtemp from `pattern`, which ends in XXXXXX; the path ends in '/'.
std::string makeFolder(std::string pattern) {
    if (!::mkdtemp(pattern.data()))
        throw std::system_error(errno, std::generic_category(), "cannot make a folder " + pattern);
    return pattern + "/";
}

struct ProcessFolder {
    std::string path = makeFolder(::testing::TempDir() + "tarvexgl-test-XXXXXX");
    pid_t owner = ::getpid();

    // Only by the process that made it: a forked child that ends through
    // exit() must not take its parent's files away.
    ~ProcessFolder() {
        std::error_code ignored;
        if (::getpid() == owner) std::filesystem::remove_all(path, ignored);
    }
};

}  // namespace

const std::string& tempFolder() {
    static const ProcessFolder folder;
    return folder.path;
}

std::string writeTempFile(std::string_view name, std::string_view contents) {
    std::string path = tempFolder() + std::string(name);
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

TempFolder::TempFolder() : path(makeFolder(tempFolder() + "folder-XXXXXX")) {}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

std::string TempFolder::write(std::string_view name, std::string_view contents) const {
    std::string file = *this / name;
    std::ofstream out(file, std::ios::binary);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    EXPECT_TRUE(out.flush()) << "cannot write " << file;
    return file;
}
