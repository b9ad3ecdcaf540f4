#include "window_fixture.h"

#include <GL/freeglut.h>
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "temp_file.h"
#include "viewer/viewer.h"

namespace {

bool windowOpen = false;
void (*drawFirstFrame)() = nullptr;
bool drawn = false;

// GLUT calls display only once the window is mapped and exposed: waiting for
// this call is waiting for the window itself, however long the server takes.
void firstDisplay() {
    if (drawFirstFrame) drawFirstFrame();
    drawn = true;
}

}  // namespace

bool openViewerWindow(void (*beforeEvents)(), void (*firstFrame)()) {
    if (windowOpen || !std::getenv("DISPLAY")) return windowOpen;
    static int argc = 1;
    static char name[] = "viewer_window_test";
    static char* argv[] = {name, nullptr};
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_SINGLE | GLUT_DEPTH);
    glutInitWindowSize(viewWidth, viewHeight);
    glutInitWindowPosition(viewLeft, viewTop);
    glutCreateWindow("viewer test window");
    glutReshapeFunc(reshape);
    drawFirstFrame = firstFrame;
    glutDisplayFunc(firstDisplay);
    if (beforeEvents) beforeEvents();
    while (!drawn) glutMainLoopEvent();
    glutDisplayFunc(display);
    windowOpen = true;
    return true;
}

bool viewerWindowOpen() { return windowOpen; }

void loadThroughPrompt(const std::string& path) {
    const std::string answer = writeTempFile("viewer-answer.txt", path + "\n");
    ASSERT_NE(std::freopen(answer.c_str(), "r", stdin), nullptr) << answer;
    initScene();
    std::fputs("\n", stdout);  // after the viewer's prompt
}

void drawAt(double angle, int width, int height) {
    reshape(width, height);
    spinAngle = angle;
    display();
    glFinish();
}

std::vector<unsigned char> readWindow() {
    std::vector<unsigned char> pixels(std::size_t{viewWidth} * viewHeight * 3);
    glReadBuffer(GL_FRONT);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, viewWidth, viewHeight, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}
