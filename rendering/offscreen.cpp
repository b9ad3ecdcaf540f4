#include "rendering/offscreen.h"

#include <EGL/eglext.h>
#include <GL/glext.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The framebuffer calls are OpenGL 3.0, beyond what the Linux OpenGL ABI
// promises to export, so they are asked of EGL.
struct FramebufferCalls {
    PFNGLGENFRAMEBUFFERSPROC genFramebuffers = nullptr;
    PFNGLBINDFRAMEBUFFERPROC bindFramebuffer = nullptr;
    PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers = nullptr;
    PFNGLGENRENDERBUFFERSPROC genRenderbuffers = nullptr;
    PFNGLBINDRENDERBUFFERPROC bindRenderbuffer = nullptr;
    PFNGLDELETERENDERBUFFERSPROC deleteRenderbuffers = nullptr;
    PFNGLRENDERBUFFERSTORAGEPROC renderbufferStorage = nullptr;
    PFNGLFRAMEBUFFERRENDERBUFFERPROC framebufferRenderbuffer = nullptr;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC checkFramebufferStatus = nullptr;
};

template <typename Call>
bool lookUp(const char* name, Call& call) {
    call = reinterpret_cast<Call>(eglGetProcAddress(name));
    return call != nullptr;
}

bool lookUpFramebufferCalls(FramebufferCalls& gl) {
    return lookUp("glGenFramebuffers", gl.genFramebuffers) && lookUp("glBindFramebuffer", gl.bindFramebuffer) &&
           lookUp("glDeleteFramebuffers", gl.deleteFramebuffers) && lookUp("glGenRenderbuffers", gl.genRenderbuffers) &&
           lookUp("glBindRenderbuffer", gl.bindRenderbuffer) &&
           lookUp("glDeleteRenderbuffers", gl.deleteRenderbuffers) &&
           lookUp("glRenderbufferStorage", gl.renderbufferStorage) &&
           lookUp("glFramebufferRenderbuffer", gl.framebufferRenderbuffer) &&
           lookUp("glCheckFramebufferStatus", gl.checkFramebufferStatus);
}

bool hasExtension(const char* extensions, const char* name) {
    if (!extensions) return false;
    const std::size_t length = std::strlen(name);
    for (const char* at = std::strstr(extensions, name); at; at = std::strstr(at + length, name))
        if ((at == extensions || at[-1] == ' ') && (at[length] == ' ' || at[length] == '\0')) return true;
    return false;
}

std::string eglFailure(const char* what) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%04x", static_cast<unsigned>(eglGetError()));
    return std::string(what) + " (EGL error " + code + ")";
}

// Framebuffer objects are core from OpenGL 3.0 on (the version string
// starts with the major number), and an extension before.
bool hasFramebufferObjects() {
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    return (version && std::atoi(version) >= 3) ||
           hasExtension(reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS)), "GL_ARB_framebuffer_object");
}

bool makeFramebuffer(Offscreen& offscreen, std::string& error) {
    FramebufferCalls gl;
    if (!hasFramebufferObjects() || !lookUpFramebufferCalls(gl)) {
        const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
        error = std::string("OpenGL ") + (version ? version : "(of no version)") + " has no framebuffer objects";
        return false;
    }
    gl.genFramebuffers(1, &offscreen.framebuffer);
    gl.bindFramebuffer(GL_FRAMEBUFFER, offscreen.framebuffer);
    gl.genRenderbuffers(1, &offscreen.colour);
    gl.bindRenderbuffer(GL_RENDERBUFFER, offscreen.colour);
    gl.renderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, offscreen.width, offscreen.height);
    gl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, offscreen.colour);
    gl.genRenderbuffers(1, &offscreen.depth);
    gl.bindRenderbuffer(GL_RENDERBUFFER, offscreen.depth);
    gl.renderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, offscreen.width, offscreen.height);
    gl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, offscreen.depth);
    const GLenum status = gl.checkFramebufferStatus(GL_FRAMEBUFFER);
    if (status != GL_FRAMEBUFFER_COMPLETE) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%04x", status);
        error = "cannot make a " + std::to_string(offscreen.width) + " x " + std::to_string(offscreen.height) +
                " framebuffer (status " + code + ")";
        return false;
    }
    return true;
}

bool makeContext(Offscreen& offscreen, std::string& error) {
    // Mesa's EGL prints its own warnings on the way to a failure (a driver
    // it cannot load, a device it cannot open); the one line this program
    // prints says what failed. EGL_LOG_LEVEL=debug, set by the user, still
    // shows them.
    ::setenv("EGL_LOG_LEVEL", "fatal", 0);
    if (!hasExtension(eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS), "EGL_MESA_platform_surfaceless")) {
        error = "EGL has no platform without a display (EGL_MESA_platform_surfaceless)";
        return false;
    }
    offscreen.display = eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    EGLint major = 0, minor = 0;
    if (offscreen.display == EGL_NO_DISPLAY || !eglInitialize(offscreen.display, &major, &minor)) {
        error = eglFailure("EGL cannot be initialised without a display");
        return false;
    }
    if (!eglBindAPI(EGL_OPENGL_API)) {
        error = eglFailure("no OpenGL through EGL");
        return false;
    }
    // No surface is ever made: the context draws into its framebuffer
    // object, so any configuration that renders OpenGL will do.
    const EGLint configAttributes[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_SURFACE_TYPE, EGL_PBUFFER_BIT,
                                       EGL_NONE};
    EGLConfig config = nullptr;
    EGLint configCount = 0;
    if (!eglChooseConfig(offscreen.display, configAttributes, &config, 1, &configCount) || configCount < 1) {
        error = eglFailure("no EGL configuration renders OpenGL");
        return false;
    }
    const EGLint contextAttributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                                        EGL_NONE};
    offscreen.context = eglCreateContext(offscreen.display, config, EGL_NO_CONTEXT, contextAttributes);
    if (offscreen.context == EGL_NO_CONTEXT) {
        error = eglFailure("cannot create a compatibility-profile OpenGL context");
        return false;
    }
    if (!eglMakeCurrent(offscreen.display, EGL_NO_SURFACE, EGL_NO_SURFACE, offscreen.context)) {
        error = eglFailure("cannot make the OpenGL context current without a surface");
        return false;
    }
    return true;
}

}  // namespace

bool openOffscreen(int width, int height, Offscreen& offscreen, std::string& error) {
    offscreen = Offscreen{};
    offscreen.width = width;
    offscreen.height = height;
    if (makeContext(offscreen, error) && makeFramebuffer(offscreen, error)) return true;
    closeOffscreen(offscreen);
    return false;
}

void readOffscreen(const Offscreen& offscreen, unsigned char* rgb) {
    glFinish();
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, offscreen.width, offscreen.height, GL_RGB, GL_UNSIGNED_BYTE, rgb);
}

void closeOffscreen(Offscreen& offscreen) {
    if (offscreen.context != EGL_NO_CONTEXT) {
        FramebufferCalls gl;
        if (offscreen.framebuffer && lookUpFramebufferCalls(gl)) {
            gl.bindFramebuffer(GL_FRAMEBUFFER, 0);
            gl.deleteFramebuffers(1, &offscreen.framebuffer);
            const GLuint renderbuffers[] = {offscreen.colour, offscreen.depth};
            gl.deleteRenderbuffers(2, renderbuffers);
        }
        eglMakeCurrent(offscreen.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        eglDestroyContext(offscreen.display, offscreen.context);
    }
    if (offscreen.display != EGL_NO_DISPLAY) eglTerminate(offscreen.display);
    eglReleaseThread();
    offscreen = Offscreen{};
}
