// closewindow: waits for a window with the given title to be mapped on the X
// display named by DISPLAY, asks it to close as a window manager's close
// button does (a WM_DELETE_WINDOW message), and exits.
//
//   closewindow TITLE
//
// It waits on the X server's map notices, not on a clock, for as long as it
// takes: whoever starts it ends it if the window never comes. The screen
// must have no window manager (a private Xvfb), whose frames would take the
// notices. tools/test-fresh.sh closes the installed viewer's window with it.
#include <X11/Xlib.h>

#include <cstdio>
#include <cstring>

namespace {

// Windows may vanish between a notice and a question about them: that is an
// answer here, not a reason to end the process.
int ignoreXError(Display*, XErrorEvent*) { return 0; }

bool titled(Display* display, Window window, const char* title) {
    char* name = nullptr;
    if (!XFetchName(display, window, &name) || !name) return false;
    const bool match = std::strcmp(name, title) == 0;
    XFree(name);
    return match;
}

// Depth-first search below `window` for a mapped one titled `title`; 0 when
// there is none. Window trees are a few levels deep.
Window findMapped(Display* display, Window window, const char* title) {  // NOLINT(misc-no-recursion)
    XWindowAttributes attributes;
    if (titled(display, window, title) && XGetWindowAttributes(display, window, &attributes) &&
        attributes.map_state != IsUnmapped)
        return window;
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count)) return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && !found; ++i) found = findMapped(display, children[i], title);
    if (children) XFree(children);
    return found;
}

void askToClose(Display* display, Window window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs(
            "usage: closewindow TITLE\n"
            "Waits for a window titled TITLE to be mapped on $DISPLAY and asks it to close.\n",
            stderr);
        return 2;
    }
    const char* title = argv[1];
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "closewindow: cannot open display '%s'\n", XDisplayName(nullptr));
        return 1;
    }
    XSetErrorHandler(ignoreXError);
    const Window root = DefaultRootWindow(display);
    // Notices first, then a look at what is there already: a window mapped
    // in between is seen one way or the other.
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, False);
    Window window = findMapped(display, root, title);
    while (!window) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == MapNotify && titled(display, event.xmap.window, title)) window = event.xmap.window;
    }
    askToClose(display, window);
    XCloseDisplay(display);  // sends what is queued
    return 0;
}
