// The turntable's clock, the one part of the viewer that needs GLUT; kept
// apart so that tarvexgl-shot links the rest without it.
#include <GL/glut.h>

#include "mesh/view.h"
#include "viewer/viewer.h"

// Every 100 ms: ten degrees more, and a frame.
void spinTimer(int /*value*/) {
    advanceSpinAngle();
    glutPostRedisplay();
    glutTimerFunc(turntableTickMilliseconds, spinTimer, 0);
}
