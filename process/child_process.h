// The one place that starts processes: a program run and waited for (the
// viewer, under tarvexgl-fit --show), and a function run in a child under
// limits (a library that cannot be trusted with a file: assimp).
//
// One policy for every child:
// - pipes are made close-on-exec (pipe2), so that no child holds an end that
//   is not its own and an end is never kept open by a stranger;
// - SIGCHLD is at its default while a child is waited for: a shell may have
//   started this program with it ignored, which leaves no status to collect;
// - a child dies with this program (PR_SET_PDEATHSIG, SIGKILL), and one
//   whose parent is already gone by the time it asks ends at once;
// - a program that cannot be run says so through a close-on-exec pipe, so
//   that its reason comes back here as a line, not as a status of 127.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// An open descriptor, closed when its holder goes.
struct Descriptor {
    int fd = -1;

    Descriptor() = default;
    explicit Descriptor(int open) : fd(open) {}
    Descriptor(Descriptor&& other) noexcept : fd(std::exchange(other.fd, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        std::swap(fd, other.fd);
        return *this;
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor();

    void close();  // now rather than at the end of its holder
};

struct ProgramRun {
    std::string program;                 // the path to run
    std::vector<std::string> arguments;  // after the program's own name
    std::string input;                   // written to its standard input, which is then closed
    bool quiet = false;                  // its standard output goes to /dev/null
    std::function<void()> afterEnd;      // called once it has ended, before the signals are given back
};

// Runs `run.program` and waits for it. Returns its exit status, or 128 + the
// signal that ended it, as a shell gives them; -1 with one line in `error`
// (no line break) when it cannot be started.
//
// While it runs, as system() does, the terminal's interrupt and quit
// (SIGINT, SIGQUIT, which reach the child too) and a child that ends without
// reading its input (SIGPIPE) do not end this program before afterEnd has
// run; SIGTERM and SIGHUP are passed on to the child, whose end then runs
// afterEnd as usual. The child starts with the signal dispositions and mask
// this program was started with.
int runProgram(const ProgramRun& run, std::string& error);

struct ChildLimits {
    std::uint64_t memoryBytes;  // address space beyond what the child starts with
    int seconds;                // of wall-clock time, and of processor time behind it
};

enum class ChildEnd {
    finished,     // the function returned: `status` is what it returned
    outOfMemory,  // an allocation failed: std::bad_alloc, or childOutOfMemory returned
    outOfTime,    // killed at the deadline, or it used up its processor time
    crashed,      // another signal ended it
};

// What a function run in a limited child returns when it needs more memory
// than it may have, as an allocation that fails does.
inline constexpr int childOutOfMemory = 4;

struct LimitedRun {
    ChildEnd end = ChildEnd::crashed;
    int status = 0;     // with ChildEnd::finished: what the function returned
    Descriptor result;  // the memory file the function wrote into
};

// Runs work(resultFd) in a child process whose standard streams are
// /dev/null, whose address space may grow by `limits.memoryBytes` beyond
// what it has when it starts (under the address sanitizer that is terabytes
// of reserved shadow memory), and which is killed after `limits.seconds`.
// work writes what it has to say into the memory file resultFd; that file is
// handed back in `run.result` to be read only once the child has ended.
// False with the system's reason in `error` (strerror's words) when no child
// can be started.
bool runLimited(const ChildLimits& limits, const std::function<int(int resultFd)>& work, LimitedRun& run,
                std::string& error);

// In a limited child: `bytes` more address space, up to the hard limit.
void allowMoreAddressSpace(std::uint64_t bytes);
