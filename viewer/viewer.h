// The viewer: one-time scene set-up and the three GLUT callbacks.
//
// Everything but spinTimer (viewer/timer.cpp) is plain OpenGL and GLU, so
// tarvexgl-shot runs the same code in a context that has no window.
#pragma once

// Turntable angle in degrees; starts at 0, changed only by advanceSpinAngle.
extern double spinAngle;

// Fixes the lighting, depth, shading and polygon state every frame relies
// on. Needs a current OpenGL context whose modelview matrix is still the
// identity, since the light's direction is fixed in eye space from it.
void initSceneState();

// initSceneState, then prompts on standard output for a mesh file name,
// reads it from standard input and builds theModel from it. Needs a current
// OpenGL context. Ends the process with status -1 when no name is given or
// the file cannot be loaded.
void initScene();

// GLUT reshape callback: viewport, projection and the fixed camera.
void reshape(int width, int height);

// GLUT display callback: clears and draws theModel at spinAngle.
void display();

// One turntable step: ten degrees more, wrapped after a full turn. From 0,
// successive steps give 10, 20, ..., 360, then a little above 1.
void advanceSpinAngle();

// GLUT timer callback: advances the turntable, asks for a frame, re-arms.
void spinTimer(int value);
