// Running a program as a child process with given standard input, capturing
// its standard output, standard error and how it ended; and the viewer in
// particular, with its window watched on the X display.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ProcessResult {
    std::string out;
    std::string err;
    int exitStatus = -1;        // 0..255 when the process exited by itself
    int signal = 0;             // non-zero when a signal ended it
    bool stillRunning = false;  // true when it had to be killed at the deadline
    double seconds = 0;         // until it ended, or until the deadline
};

// Runs argv[0] (a path) with `input` written to its standard input, which is
// then closed. After `seconds` a child that is still running is killed. With
// noStdin the child starts with descriptor 0 closed instead, as when started
// with `<&-`, and `input` is not used.
ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& input, double seconds,
                         bool noStdin = false);

// The viewer's window as the X server saw it mapped.
struct WindowSeen {
    bool mapped = false;
    int x = 0, y = 0;  // on the screen
    unsigned width = 0, height = 0;
    std::string title;
};

struct ViewerRun {
    std::vector<std::string> command;      // a program that starts the viewer itself; empty: tarvexgl
    std::string input;                     // typed at the prompt
    bool noStdin = false;                  // start with descriptor 0 closed instead
    bool noStdout = false;                 // start with descriptor 1 closed, its output lost
    bool closeWindow = true;               // ask the window to close, as its close button does, once it is mapped
    std::uint64_t addressSpace = 0;        // RLIMIT_AS of the child in bytes; 0: none
    std::vector<std::string> environment;  // NAME=value added to the child's
    double deadline = 60;                  // only catches a hang: a child still running then is killed
};

// Runs tarvexgl (under TARVEXGL_RUN_UNDER, if set), or `run.command`, as
// `run` says, watching the X display for the map of its window, named
// TarvexGLRendering, and returns once it has ended. The close request is
// queued until the viewer's event loop runs, so a viewer that loaded its mesh
// ends with status 0, and one that could not, with its own status. Needs
// DISPLAY.
ProcessResult runViewer(const ViewerRun& run, WindowSeen* window = nullptr);

// `program` preceded by the blank-separated words of TARVEXGL_RUN_UNDER when
// it is set: a command to run the program under, such as valgrind with its
// options (absolute path first, since the program is run without a PATH
// search).
std::vector<std::string> commandUnderWrapper(const std::string& program);

// Whether TARVEXGL_RUN_UNDER names a wrapper: programs are then many times
// slower, so deadlines only catch a hang.
bool underWrapper();
