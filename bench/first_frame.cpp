// first_frame: the wait a user sees, from the moment the mesh's path is
// entered at the prompt to the moment the first frame is drawn. Each run is a
// fresh process going through the viewer's own start-up (window, initScene,
// callbacks, turntable, event loop); the first display() is timed to
// glFinish, and the process ends there. With --pause, the window stands that
// long before the path is entered, as it does while a user types.
//
//   first_frame [--runs N] [--pause SECONDS] MESH.off      (needs an X display)
#include <GL/freeglut.h>
#include <GL/gl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "viewer/viewer.h"

namespace {

double entered = 0;
int resultChannel = -1;
int idleSeconds = 0;

void firstDisplay() {
    display();
    glFinish();
    const double seconds = now() - entered;
    const bool written = ::write(resultChannel, &seconds, sizeof seconds) == static_cast<ssize_t>(sizeof seconds);
    ::_exit(written ? 0 : 1);
}

[[noreturn]] void oneRun(const char* path) {
    static int argc = 1;
    static char name[] = "first_frame";
    static char* argv[] = {name, nullptr};
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_SINGLE | GLUT_DEPTH);
    glutInitWindowSize(800, 600);
    glutInitWindowPosition(10, 10);
    glutCreateWindow("first_frame");

    if (idleSeconds > 0) ::sleep(static_cast<unsigned>(idleSeconds));
    int input[2];
    if (::pipe(input) != 0) std::exit(2);
    ::dup2(input[0], STDIN_FILENO);
    ::close(input[0]);
    const std::string line = std::string(path) + "\n";
    entered = now();  // the user presses Enter
    if (::write(input[1], line.data(), line.size()) != static_cast<ssize_t>(line.size())) std::exit(2);
    ::close(input[1]);
    initScene();
    glutReshapeFunc(reshape);
    glutDisplayFunc(firstDisplay);
    spinTimer(0);
    glutMainLoop();
    std::exit(1);  // the loop ended without a frame
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    const char* path = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--pause") == 0 && i + 1 < argc)
            idleSeconds = std::max(0, std::atoi(argv[++i]));
        else
            path = argv[i];
    }
    if (!path) {
        std::fputs("usage: first_frame [--runs N] [--pause SECONDS] MESH.off\n", stderr);
        return 2;
    }
    std::vector<double> seconds;
    for (int run = 0; run < runs; ++run) {
        int channel[2];
        if (::pipe(channel) != 0) return 2;
        std::fflush(nullptr);
        const pid_t viewer = ::fork();
        if (viewer == 0) {
            ::close(channel[0]);
            resultChannel = channel[1];
            if (!std::freopen("/dev/null", "w", stdout)) std::exit(2);  // the prompt
            oneRun(path);
        }
        ::close(channel[1]);
        double s = 0;
        const bool read = ::read(channel[0], &s, sizeof s) == static_cast<ssize_t>(sizeof s);
        ::close(channel[0]);
        int status = 0;
        ::waitpid(viewer, &status, 0);
        if (!read || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::fprintf(stderr, "first_frame: run %d on %s failed\n", run, path);
            return 1;
        }
        seconds.push_back(s);
    }
    std::printf("first frame %s: %.3f s from the path entered to the first frame drawn (+-%.0f%%, median of %d runs",
                path, median(seconds), 100 * spread(seconds), runs);
    if (idleSeconds > 0) std::printf(", the window idle %d s before each", idleSeconds);
    std::printf(")\n");
    return 0;
}
