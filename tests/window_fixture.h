// The one GLUT window of a test program that draws with the viewer's own
// reshape and display: opened as tarvexgl's main opens its window, then
// GLUT's events are serviced by hand rather than by glutMainLoop, so that a
// test draws a frame when it likes and reads it back. The only place in the
// tests that starts GLUT. Needs an X display (make test starts Xvfb).
#pragma once

#include <string>

// glClearColor(0.1, ...) in an 8-bit channel (25.5): the grey of every pixel
// the mesh does not cover.
inline constexpr int clearGrey = 26;

// For a fixture's SetUpTestSuite. Opens the window with the viewer's display
// mode, size and place (under its own title, not the one the process tests
// look for), with the viewer's reshape as its reshape callback; calls
// `beforeEvents` when given, where tarvexgl's main loads its mesh and starts
// the turntable; then services events until the window has been drawn for
// the first time: by `firstFrame` when given, else by nothing. After that the
// display callback is the viewer's display. Returns whether the window is
// open: false, with nothing done, when there is no X display. The first call
// opens it; later ones only answer.
bool openViewerWindow(void (*beforeEvents)() = nullptr, void (*firstFrame)() = nullptr);

// Whether openViewerWindow has opened the window: for a fixture's SetUp, to
// skip the test when it has not.
bool viewerWindowOpen();

// Has the viewer load the mesh at `path` as it does at start-up: initScene
// prompts on standard output and reads the name from standard input, here a
// file of this test program's own.
void loadThroughPrompt(const std::string& path);
