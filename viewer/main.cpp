// tarvexgl: asks for an OFF triangle mesh and shows it lit, smoothly shaded
// and turning on a turntable.
#include <GL/glut.h>

#include "viewer/viewer.h"

int main(int argc, char** argv) {
    glutInit(&argc, argv);  // takes out the GLUT options; the program has none of its own
    glutInitDisplayMode(GLUT_RGB | GLUT_SINGLE | GLUT_DEPTH);
    glutInitWindowSize(800, 600);
    glutInitWindowPosition(10, 10);
    glutCreateWindow("TarvexGLRendering");

    initScene();  // prompts for the mesh and loads it before any event is serviced

    glutReshapeFunc(reshape);
    glutDisplayFunc(display);
    spinTimer(0);  // first tick by hand: the first frame already shows 10 degrees

    glutMainLoop();
    return 0;
}
