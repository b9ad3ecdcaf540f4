// The viewer: one-time scene set-up and the three GLUT callbacks.
#pragma once

// Turntable angle in degrees; starts at 0, changed only by spinTimer.
extern double spinAngle;

// Fixes the lighting, depth, shading and polygon state, prompts on standard
// output for a mesh file name, reads it from standard input and builds
// theModel from it. Needs a current OpenGL context. Ends the process with
// status -1 when no name is given or the file cannot be loaded.
void initScene();

// GLUT reshape callback: viewport, projection and the fixed camera.
void reshape(int width, int height);

// GLUT display callback: clears and draws theModel at spinAngle.
void display();

// GLUT timer callback: advances the turntable, asks for a frame, re-arms.
void spinTimer(int value);
