// An OpenGL context with no display: Mesa's surfaceless EGL platform, a
// compatibility-profile context (the fixed-function pipeline the viewer
// draws with), and a framebuffer object to draw into.
#pragma once

#include <EGL/egl.h>
#include <GL/gl.h>

#include <string>

struct Offscreen {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLContext context = EGL_NO_CONTEXT;
    GLuint framebuffer = 0, colour = 0, depth = 0;
    int width = 0, height = 0;
};

// Makes a context current on this thread with a bound framebuffer of
// `width` x `height` pixels: RGBA8 colour (RGB as the viewer's 24-bit window
// holds it, plus alpha) and 24-bit depth. False with one line in `error`
// (no line break) when EGL, the platform, OpenGL or the framebuffer cannot
// be had; whatever was made is released again.
bool openOffscreen(int width, int height, Offscreen& offscreen, std::string& error);

// The framebuffer's pixels, RGB, rows in the order they are stored: row 0 is
// the bottom of OpenGL's window coordinates.
void readOffscreen(const Offscreen& offscreen, unsigned char* rgb);

// Releases the framebuffer, the context and the display connection.
void closeOffscreen(Offscreen& offscreen);
