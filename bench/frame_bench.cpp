// frame_bench: what one frame of a mesh costs in display(), against a bare
// loop that makes the same OpenGL calls (glNormal3dv, glVertex3dv between one
// glBegin and glEnd, with the same clear and matrices around them) from a
// flat array of normals and positions. Both are timed to glFinish, in turns,
// on the viewer's window and scene state.
//
//   frame_bench [--frames N] MESH.off      (needs an X display)
#include <GL/freeglut.h>
#include <GL/gl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "mesh/model.h"
#include "viewer/viewer.h"

namespace {

// display(), with the face table replaced by the flat array.
void bareFrame(const std::vector<double>& flat) {
    glClearColor(0.1f, 0.1f, 0.1f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glPushMatrix();
    glTranslatef(0.0f, 10.0f, -20.0f);
    glRotatef(90.0f, -1.0f, 0.0f, 0.0f);
    glRotatef(static_cast<GLfloat>(spinAngle), 0.0f, 0.0f, 1.0f);
    glBegin(GL_TRIANGLES);
    const double* p = flat.data();
    const double* end = p + flat.size();
    for (; p != end; p += 6) {
        glNormal3dv(p);
        glVertex3dv(p + 3);
    }
    glEnd();
    glPopMatrix();
    glFlush();
}

// The path goes in through initScene's prompt, as the viewer gets it.
void loadThroughPrompt(const char* path) {
    int channel[2];
    if (::pipe(channel) != 0) std::exit(2);
    const std::string line = std::string(path) + "\n";
    if (::write(channel[1], line.data(), line.size()) != static_cast<ssize_t>(line.size())) std::exit(2);
    ::close(channel[1]);
    ::dup2(channel[0], STDIN_FILENO);
    ::close(channel[0]);
    initScene();
}

}  // namespace

int main(int argc, char** argv) {
    glutInit(&argc, argv);
    int frames = 9;
    const char* path = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc) frames = std::max(1, std::atoi(argv[++i]));
        else
            path = argv[i];
    }
    if (!path) {
        std::fputs("usage: frame_bench [--frames N] MESH.off\n", stderr);
        return 2;
    }
    glutInitDisplayMode(GLUT_RGB | GLUT_SINGLE | GLUT_DEPTH);
    glutInitWindowSize(800, 600);
    glutInitWindowPosition(10, 10);
    glutCreateWindow("frame_bench");
    loadThroughPrompt(path);
    std::fputc('\n', stdout);  // after the prompt
    glutReshapeFunc(reshape);
    glutDisplayFunc(display);
    for (int i = 0; i < 20; ++i) glutMainLoopEvent();  // mapped, and the first frames drawn
    reshape(800, 600);
    spinAngle = 10.0;

    std::vector<double> flat;
    flat.reserve(18 * static_cast<std::size_t>(theModel->faceCount));
    for (std::int32_t j = 0; j < theModel->faceCount; ++j)
        for (int k = 0; k < 3; ++k) {
            const Face& face = theModel->faces[j];
            flat.insert(flat.end(), face.cornerNormal[k], face.cornerNormal[k] + 3);
            flat.insert(flat.end(), &face.cornerPosition[k].x, &face.cornerPosition[k].x + 3);
        }

    std::vector<double> displaySeconds, bareSeconds, ratios;
    for (int frame = 0; frame < frames; ++frame) {
        double seconds[2];
        for (int turn = 0; turn < 2; ++turn) {
            const int which = (frame + turn) % 2;
            const double start = now();
            if (which == 0) display();
            else
                bareFrame(flat);
            glFinish();
            seconds[which] = now() - start;
        }
        displaySeconds.push_back(seconds[0]);
        bareSeconds.push_back(seconds[1]);
        ratios.push_back(seconds[0] / seconds[1]);
    }
    std::printf(
        "frame %s: %d faces: display %.4f s (+-%.0f%%), bare loop %.4f s (+-%.0f%%): "
        "display = %.3fx the bare loop (median of %d frames each, in turns)\n",
        path, theModel->faceCount, median(displaySeconds), 100 * spread(displaySeconds), median(bareSeconds),
        100 * spread(bareSeconds), median(ratios), frames);
    return 0;
}
