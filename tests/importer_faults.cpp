// Preloaded into tarvexgl-fit by fit_hostile_test: the library's import,
// replaced by one that fails as a malformed file could make the library
// fail, chosen by the file's name: "hang" waits forever, "bomb" allocates
// without end (and says how far it got), anything else aborts.
#include <unistd.h>

#include <assimp/Importer.hpp>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
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
        // The limit is on address space, so blocks that are mapped but not
        // written count in full: writing every page would only make the
        // bomb's pace hang on how busy the machine is, and the importer's
        // clock could then stop it before its memory limit does.
        std::vector<std::unique_ptr<char[]>> taken;
        for (std::size_t bytes = 0;; bytes += std::size_t{64} << 20) {
            std::ofstream(record) << bytes << "\n";
            taken.emplace_back(new char[std::size_t{64} << 20]);
            taken.back()[0] = 'x';  // used, so that no compiler leaves the allocation out
        }
    }
    std::abort();
}
