// tarvexgl: asks for an OFF triangle mesh and shows it lit, smoothly shaded
// and turning on a turntable.
#include <GL/glut.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "mesh/view.h"
#include "viewer/viewer.h"

namespace {

// A standard stream closed by whoever started us would be the lowest free
// descriptor when glutInit connects to the X server: the prompt would then
// read X protocol bytes as a file name, and messages would be written into
// the connection. /dev/null takes its place first.
void reopenClosedStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        if (::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY) != fd) {
            std::fputs("tarvexgl: a standard stream is closed and /dev/null cannot stand in for it\n", stderr);
            std::exit(-1);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    reopenClosedStandardStreams();
    glutInit(&argc, argv);  // takes out the GLUT options; the program has none of its own
    glutInitDisplayMode(GLUT_RGB | GLUT_SINGLE | GLUT_DEPTH);
    glutInitWindowSize(viewWidth, viewHeight);
    glutInitWindowPosition(viewLeft, viewTop);
    glutCreateWindow("TarvexGLRendering");

    initScene();  // prompts for the mesh and loads it before any event is serviced

    glutReshapeFunc(reshape);
    glutDisplayFunc(display);
    spinTimer(0);  // first tick by hand: the first frame already shows 10 degrees

    glutMainLoop();
    return 0;
}
