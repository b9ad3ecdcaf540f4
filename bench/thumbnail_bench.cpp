// thumbnail_bench: how long a file manager waits for a thumbnail, that is
// for `tarvexgl-shot --thumbnail 256 MESH OUT.png` as the thumbnailer entry
// runs it (the read and the fitting, EGL's start, the viewer's Model of
// the fitted mesh, one frame, the PNG), next to `tarvexgl-shot MESH
// OUT.png`, one 800 x 600 frame of the mesh as it is (no fitting; OFF
// meshes only, the only ones the viewer reads).
//
//   thumbnail_bench --shot PATH/tarvexgl-shot [--runs N] MESH...
//
// Every run is the real program in a process of its own, with no display;
// the two take turns inside each round (in alternating order), so that a
// disturbance from other work on the machine hits both alike. Figures are
// medians over the rounds. The pictures go to a temporary folder, removed at
// the end.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_util.h"

namespace {

// Seconds from start to exit of `shot` with `args`; ends the benchmark if
// it fails.
double timeShot(const std::string& shot, const std::vector<std::string>& args) {
    std::vector<std::string> words = {"tarvexgl-shot"};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    argv.reserve(words.size() + 1);
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    const double start = now();
    const pid_t child = ::fork();
    if (child < 0) std::exit(2);
    if (child == 0) {
        ::unsetenv("DISPLAY");
        ::execv(shot.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    const double seconds = now() - start;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "thumbnail_bench: tarvexgl-shot failed on %s\n", args.at(args.size() - 2).c_str());
        std::exit(2);
    }
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 7;
    std::string shot;
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--shot") == 0 && i + 1 < argc) {
            shot = argv[++i];
        } else {
            paths.emplace_back(argv[i]);
        }
    }
    if (shot.empty() || paths.empty() || runs < 1) {
        std::fputs("usage: thumbnail_bench --shot PATH/tarvexgl-shot [--runs N] MESH...\n", stderr);
        return 2;
    }
    const char* tmpdir = std::getenv("TMPDIR");
    std::string folder = std::string(tmpdir && tmpdir[0] == '/' ? tmpdir : "/tmp") + "/thumbnail_bench-XXXXXX";
    if (!::mkdtemp(folder.data())) return 2;
    const std::string thumbnail = folder + "/thumbnail.png", picture = folder + "/picture.png";
    std::printf("%-28s %16s %16s\n", "mesh", "thumbnail 256", "frame as it is");
    for (const std::string& path : paths) {
        const bool off = path.ends_with(".off");
        std::vector<double> thumbnails, pictures;
        for (int round = 0; round < runs; ++round) {
            if (round % 2 == 0) thumbnails.push_back(timeShot(shot, {"--thumbnail", "256", path, thumbnail}));
            if (off) pictures.push_back(timeShot(shot, {path, picture}));
            if (round % 2 == 1) thumbnails.push_back(timeShot(shot, {"--thumbnail", "256", path, thumbnail}));
        }
        const std::size_t slash = path.rfind('/');
        const std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
        if (off) {
            std::printf("%-28s %14.3f s %14.3f s   (spread %.0f%% / %.0f%%)\n", name.c_str(), median(thumbnails),
                        median(pictures), 100 * spread(thumbnails), 100 * spread(pictures));
        } else {
            std::printf("%-28s %14.3f s %16s   (spread %.0f%%)\n", name.c_str(), median(thumbnails), "-",
                        100 * spread(thumbnails));
        }
    }
    ::unlink(thumbnail.c_str());
    ::unlink(picture.c_str());
    ::rmdir(folder.c_str());
    return 0;
}
