// The one GLUT window of a test program that draws with the viewer's own
// reshape and display: opened as tarvexgl's main opens its window, then
// GLUT's events are serviced by hand rather than by glutMainLoop, so that a
// test draws a frame when it likes and reads it back. The only place in the
// tests that starts GLUT. Needs an X display (make test starts Xvfb).
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mesh/view.h"

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

// The fixture of the tests that need no more than the window: opened once
// for the test program, and every test skipped when there is no display.
struct ViewerWindowTest : ::testing::Test {
    static void SetUpTestSuite() { openViewerWindow(); }
    void SetUp() override {
        if (!viewerWindowOpen()) GTEST_SKIP() << "no X display; run under xvfb-run";
    }
};

// Has the viewer load the mesh at `path` as it does at start-up: initScene
// prompts on standard output and reads the name from standard input, here a
// file of this test program's own.
void loadThroughPrompt(const std::string& path);

// One frame as the viewer draws it for a window of `width` x `height` with
// the turntable at `angle` degrees, finished before it returns.
void drawAt(double angle, int width = viewWidth, int height = viewHeight);

// The whole window as OpenGL holds it: RGB, 3 bytes a pixel, the bottom row
// first.
std::vector<unsigned char> readWindow();
