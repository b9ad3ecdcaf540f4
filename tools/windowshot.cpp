// windowshot: waits for a window with the given title on the X display named
// by DISPLAY, gives it time to draw, and writes what it shows to a PNG file.
//
//   windowshot TITLE OUT.png [SETTLE_SECONDS]
//
// Reading the window from the X server, rather than rendering off-screen,
// captures exactly what a user of the real program sees. The window must be
// unobscured: under a private Xvfb it is the only one.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <png.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

int lastXError = 0;

// Windows may vanish between listing and asking about them: note the error
// instead of letting Xlib end the process.
int noteXError(Display*, XErrorEvent* event) {
    lastXError = event->error_code;
    return 0;
}

// Depth-first search below `window` for a viewable one whose name is `title`;
// 0 when there is none.
// Window trees are a few levels deep, so the recursion stays shallow.
Window findWindow(Display* display, Window window, const char* title) {  // NOLINT(misc-no-recursion)
    char* name = nullptr;
    if (XFetchName(display, window, &name) && name) {
        const bool match = std::strcmp(name, title) == 0;
        XFree(name);
        XWindowAttributes attributes;
        if (match && XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable)
            return window;
    }
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count)) return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && !found; ++i) found = findWindow(display, children[i], title);
    if (children) XFree(children);
    return found;
}

// The bit position and width of a visual's colour mask, to scale any
// TrueColor layout to 8 bits a channel.
int channel(unsigned long pixel, unsigned long mask) {
    if (!mask) return 0;
    int shift = 0;
    while (!((mask >> shift) & 1)) ++shift;
    const unsigned long max = mask >> shift;
    return static_cast<int>(((pixel & mask) >> shift) * 255 / max);
}

int fail(const std::string& message) {
    std::fprintf(stderr, "windowshot: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::fputs(
            "usage: windowshot TITLE OUT.png [SETTLE_SECONDS]\n"
            "Waits up to 10 s for a viewable window titled TITLE on $DISPLAY, then\n"
            "SETTLE_SECONDS more (default 1) for it to draw, and saves it as PNG.\n",
            stderr);
        return 2;
    }
    const char* title = argv[1];
    const char* output = argv[2];
    const double settle = argc == 4 ? std::atof(argv[3]) : 1.0;

    Display* display = XOpenDisplay(nullptr);
    if (!display) return fail(std::string("cannot open display '") + XDisplayName(nullptr) + "'");
    XSetErrorHandler(noteXError);

    Window window = 0;
    for (int attempt = 0; attempt < 100 && !window; ++attempt) {
        window = findWindow(display, DefaultRootWindow(display), title);
        if (!window) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (!window) return fail(std::string("no viewable window titled '") + title + "' within 10 s");
    std::this_thread::sleep_for(std::chrono::duration<double>(settle));

    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes)) return fail("the window went away");
    const int width = attributes.width, height = attributes.height;
    XImage* image = XGetImage(display, window, 0, 0, width, height, AllPlanes, ZPixmap);
    if (!image) return fail("could not read the window (X error " + std::to_string(lastXError) + ")");

    std::vector<unsigned char> rgb(static_cast<std::size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            unsigned char* p = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
            p[0] = static_cast<unsigned char>(channel(pixel, image->red_mask));
            p[1] = static_cast<unsigned char>(channel(pixel, image->green_mask));
            p[2] = static_cast<unsigned char>(channel(pixel, image->blue_mask));
        }
    XDestroyImage(image);
    XCloseDisplay(display);

    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(width);
    png.height = static_cast<png_uint_32>(height);
    png.format = PNG_FORMAT_RGB;
    if (!png_image_write_to_file(&png, output, 0, rgb.data(), width * 3, nullptr))
        return fail(std::string("cannot write ") + output + ": " + png.message);
    return 0;
}
