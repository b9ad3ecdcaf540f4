// Running a program as a child process with given standard input, capturing
// its standard output, standard error and how it ended.
#pragma once

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

// `program` preceded by the blank-separated words of TARVEXGL_RUN_UNDER when
// it is set: a command to run the program under, such as valgrind with its
// options (absolute path first, since the program is run without a PATH
// search).
std::vector<std::string> commandUnderWrapper(const std::string& program);

// Whether TARVEXGL_RUN_UNDER names a wrapper: programs are then many times
// slower, so deadlines only catch a hang.
bool underWrapper();
