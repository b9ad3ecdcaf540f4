// Preloaded into tarvexgl-fit by fit_hostile_test: the library's import,
// replaced by one that fails as a malformed file could make the library
// fail, chosen by the file's name: "hang" waits forever, "bomb" allocates
// without end (and says how far it got), anything else aborts.
#include <unistd.h>

#include <assimp/Importer.hpp>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

// NOLINTNEXTLINE(readability-convert-member-functions-to-static): the library's own member
const aiScene* Assimp::Importer::ReadFile(const char* file, unsigned int /*flags*/) {
    if (std::strstr(file, "hang"))
        for (;;) ::pause();
    if (std::strstr(file, "bomb")) {
        // How far it got is left in FILE.taken, for the test to see where
        // the importer's own limit stopped it.
        const std::string record = std::string(file) + ".taken";
        std::vector<std::vector<char>> taken;
        for (std::size_t bytes = 0;; bytes += std::size_t{64} << 20) {
            std::ofstream(record) << bytes << "\n";
            taken.emplace_back(std::size_t{64} << 20, 'x');  // touched, so it is really taken
        }
    }
    std::abort();
}
