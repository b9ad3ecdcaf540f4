#include <GL/gl.h>
#include <GL/glu.h>

#include "mesh/model.h"
#include "mesh/view.h"
#include "viewer/viewer.h"

double spinAngle = 0.0;

// New window size: viewport, a 100-degree vertical field of view, and the
// camera at z = 15 looking down the negative z axis (mesh/view.h).
void reshape(int width, int height) {
    if (height == 0) height = 1;  // a minimised window must not divide by zero
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(viewFieldOfView, static_cast<double>(width) / static_cast<double>(height), viewNear, viewFar);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(viewEye.x, viewEye.y, viewEye.z, viewCentre.x, viewCentre.y, viewCentre.z, viewUp.x, viewUp.y, viewUp.z);
}

// The frame reads the face table front to back, but between two faces the
// OpenGL calls run through enough of the driver that the processor stops
// fetching the table ahead on its own: asking for the face 16 records on
// made a frame of a million faces about a tenth faster, and as fast as the
// same calls from a flat array (docs/performance.md). Only a hint to the
// cache: nothing is computed or allocated.
namespace {

constexpr std::int32_t prefetchAhead = 16;

void prefetchFace(const Face* face) {
    const char* record = reinterpret_cast<const char*>(face);
    for (std::size_t line = 0; line < sizeof(Face); line += 64) __builtin_prefetch(record + line);
}

}  // namespace

// One frame: the mesh placed in front of the camera, stood z-up, turned by
// spinAngle, every face in one batch.
void display() {
    glClearColor(0.1f, 0.1f, 0.1f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // The indent shows what the pushed matrix covers.
    // clang-format off
    glPushMatrix();
        glTranslatef(viewPlacement[0], viewPlacement[1], viewPlacement[2]);
        glRotatef(90.0f, -1.0f, 0.0f, 0.0f);  // the mesh's +z now points up the screen
        glRotatef(static_cast<GLfloat>(spinAngle), 0.0f, 0.0f, 1.0f);
        glBegin(GL_TRIANGLES);
        const Face* faces = theModel->faces.get();
        const std::int32_t faceCount = theModel->faceCount;
        for (std::int32_t j = 0; j < faceCount; ++j) {
            if (j + prefetchAhead < faceCount) prefetchFace(faces + j + prefetchAhead);
            for (int k = 0; k < 3; ++k) {
                glNormal3dv(faces[j].cornerNormal[k]);
                glVertex3dv(&faces[j].cornerPosition[k].x);
            }
        }
        glEnd();
    glPopMatrix();
    // clang-format on
    glFlush();  // single-buffered: no swap
}

// Past a full turn the angle is divided by 360 rather than reduced by it,
// so the turntable restarts just above one degree; that stutter is the
// turntable's own rhythm and is kept.
void advanceSpinAngle() {
    spinAngle = spinAngle + turntableStep;
    if (spinAngle > 360.0) spinAngle = spinAngle / 360.0;
}
