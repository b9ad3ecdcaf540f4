#include "temp_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace {

struct TempFolder {
    std::string path;
    pid_t owner = ::getpid();

    TempFolder() {
        std::string pattern = ::testing::TempDir() + "tarvexgl-test-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            throw std::system_error(errno, std::generic_category(), "cannot make a folder " + pattern);
        path = pattern + "/";
    }
    // Only by the process that made it: a forked child that ends through
    // exit() must not take its parent's files away.
    ~TempFolder() {
        std::error_code ignored;
        if (::getpid() == owner) std::filesystem::remove_all(path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
};

}  // namespace

const std::string& tempFolder() {
    static const TempFolder folder;
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
