#include "run_process.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <sstream>

// clang-format off
#include <X11/Xlib.h>  // last: its macros (None, Bool, Status) break other headers
// clang-format on

namespace {

struct ChildSetup {
    std::vector<std::string> argv;
    std::string input;
    bool noStdin = false;
    bool noStdout = false;
    std::uint64_t addressSpace = 0;
    std::vector<std::string> environment;
    double seconds = 0;
    int extraFd = -1;               // also waited on, e.g. an X connection
    std::function<void()> onExtra;  // called when extraFd is readable
};

ProcessResult runChild(const ChildSetup& setup) {
    int in[2], out[2], err[2];
    ProcessResult result;
    if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC)) return result;
    signal(SIGPIPE, SIG_IGN);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        signal(SIGPIPE, SIG_DFL);  // ignored above for our own writes only: the child starts as a shell starts it
        if (setup.noStdin) {
            close(0);
        } else {
            dup2(in[0], 0);
        }
        if (setup.noStdout) {
            close(1);
        } else {
            dup2(out[1], 1);
        }
        dup2(err[1], 2);
        syscall(SYS_close_range, 3, ~0U, 0);  // nothing of ours, an X connection least of all
        for (const std::string& variable : setup.environment) putenv(const_cast<char*>(variable.c_str()));
        if (setup.addressSpace > 0) {
            const rlimit limit{setup.addressSpace, setup.addressSpace};
            setrlimit(RLIMIT_AS, &limit);
        }
        std::vector<char*> args;
        args.reserve(setup.argv.size() + 1);
        for (const std::string& a : setup.argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    fcntl(in[1], F_SETFL, O_NONBLOCK);

    auto elapsed = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };
    std::size_t written = 0;
    int writeFd = in[1];
    if (setup.input.empty() || setup.noStdin) close(writeFd), writeFd = -1;
    int readFds[2] = {out[0], err[0]};
    // Until both pipes are at their end, which is when the child has exited
    // (it hands them to nobody); the deadline only catches a hang.
    while ((readFds[0] >= 0 || readFds[1] >= 0) && elapsed() < setup.seconds) {
        if (setup.onExtra) setup.onExtra();  // what the connection already holds
        pollfd fds[4] = {
            {readFds[0], POLLIN, 0}, {readFds[1], POLLIN, 0}, {writeFd, POLLOUT, 0}, {setup.extraFd, POLLIN, 0}};
        const int left = static_cast<int>(1000 * (setup.seconds - elapsed())) + 1;
        if (poll(fds, 4, left) <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (readFds[i] < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buffer[4096];
            const ssize_t n = read(readFds[i], buffer, sizeof buffer);
            if (n > 0) (i == 0 ? result.out : result.err).append(buffer, static_cast<std::size_t>(n));
            else
                close(readFds[i]), readFds[i] = -1;
        }
        if (writeFd >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
            const ssize_t n = write(writeFd, setup.input.data() + written, setup.input.size() - written);
            if (n > 0) written += static_cast<std::size_t>(n);
            if (n < 0 || written == setup.input.size()) close(writeFd), writeFd = -1;
        }
    }
    int status = 0;
    if (readFds[0] >= 0 || readFds[1] >= 0) {
        result.stillRunning = true;
        kill(pid, SIGKILL);
    }
    waitpid(pid, &status, 0);
    result.seconds = elapsed();
    if (!result.stillRunning && WIFEXITED(status)) {
        result.exitStatus = WEXITSTATUS(status);
    } else if (!result.stillRunning && WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    for (int fd : {readFds[0], readFds[1], writeFd})
        if (fd >= 0) close(fd);
    return result;
}

// Top-level windows mapped on the display, as the viewer's is.
struct WindowWatch {
    Display* display;
    WindowSeen* seen;
    bool closeWindow;
    Atom protocols, deleteWindow;
};

void askToClose(Display* display, Window window, Atom protocols, Atom deleteWindow) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = protocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(deleteWindow);
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
}

void handleEvents(WindowWatch& watch) {
    while (XPending(watch.display) > 0) {
        XEvent event;
        XNextEvent(watch.display, &event);
        if (event.type != MapNotify) continue;
        const Window window = event.xmap.window;
        char* name = nullptr;
        const bool named = XFetchName(watch.display, window, &name) && name;
        const std::string title = named ? name : "";
        if (name) XFree(name);
        if (title != "TarvexGLRendering") continue;
        watch.seen->mapped = true;
        watch.seen->title = title;
        Window root = 0, child = 0;
        int x = 0, y = 0;
        unsigned border = 0, depth = 0;
        XGetGeometry(watch.display, window, &root, &x, &y, &watch.seen->width, &watch.seen->height, &border, &depth);
        XTranslateCoordinates(watch.display, window, root, 0, 0, &watch.seen->x, &watch.seen->y, &child);
        if (watch.closeWindow) askToClose(watch.display, window, watch.protocols, watch.deleteWindow);
    }
}

}  // namespace

ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& input, double seconds, bool noStdin) {
    ChildSetup setup;
    setup.argv = argv;
    setup.input = input;
    setup.noStdin = noStdin;
    setup.seconds = seconds;
    return runChild(setup);
}

ProcessResult runViewer(const ViewerRun& run, WindowSeen* window) {
    WindowSeen ignored;
    // The viewer may be gone, and its window with it, by the time a request
    // about the window arrives: that is an answer here, not an error.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    Display* display = XOpenDisplay(nullptr);
    if (!display) return {};
    // Before the viewer starts, so that the map of its window cannot be missed.
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);
    WindowWatch watch{display, window ? window : &ignored, run.closeWindow, XInternAtom(display, "WM_PROTOCOLS", False),
                      XInternAtom(display, "WM_DELETE_WINDOW", False)};
    ChildSetup setup;
    setup.argv = run.command.empty() ? commandUnderWrapper(TARVEXGL_BINARY) : run.command;
    setup.input = run.input;
    setup.noStdin = run.noStdin;
    setup.noStdout = run.noStdout;
    setup.addressSpace = run.addressSpace;
    setup.environment = run.environment;
    setup.seconds = run.deadline;
    setup.extraFd = ConnectionNumber(display);
    setup.onExtra = [&watch] { handleEvents(watch); };
    ProcessResult result = runChild(setup);
    XCloseDisplay(display);
    return result;
}

std::vector<std::string> commandUnderWrapper(const std::string& program) {
    std::vector<std::string> words;
    if (const char* wrapper = std::getenv("TARVEXGL_RUN_UNDER")) {
        std::istringstream in(wrapper);
        for (std::string word; in >> word;) words.push_back(word);
    }
    words.push_back(program);
    return words;
}

bool underWrapper() { return commandUnderWrapper("").size() > 1; }
