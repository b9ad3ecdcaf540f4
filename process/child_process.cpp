#include "process/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iterator>
#include <new>

#include "mesh/output_file.h"

Descriptor::~Descriptor() { close(); }

void Descriptor::close() {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

namespace {

// The child's first steps, before anything else it does: it must not
// outlive `parent`, which may already have gone while it was being made.
bool stayOnlyWithParent(pid_t parent) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    return ::getppid() == parent;
}

// SIGCHLD at its default for as long as a child is waited for.
struct DefaultChildSignal {
    struct sigaction saved {};

    DefaultChildSignal() {
        struct sigaction standard {};
        standard.sa_handler = SIG_DFL;
        sigemptyset(&standard.sa_mask);
        ::sigaction(SIGCHLD, &standard, &saved);
    }
    DefaultChildSignal(const DefaultChildSignal&) = delete;
    DefaultChildSignal& operator=(const DefaultChildSignal&) = delete;
    ~DefaultChildSignal() { give(); }
    // Gives this process's own disposition back (in a child before exec, too).
    void give() const { ::sigaction(SIGCHLD, &saved, nullptr); }
};

int waitFor(pid_t child) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

int shellStatus(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return 1;
}

// The program being waited for, so that a request to end this program (kill,
// a closed terminal) is passed on to it.
volatile sig_atomic_t runningProgram = 0;

void passOn(int signal) {
    if (runningProgram > 0) ::kill(static_cast<pid_t>(runningProgram), signal);
}

constexpr int heldSignals[] = {SIGINT, SIGQUIT, SIGPIPE, SIGTERM, SIGHUP};
using SavedActions = struct sigaction[std::size(heldSignals)];

sigset_t heldSet() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : heldSignals) sigaddset(&set, signal);
    return set;
}

void holdSignals(pid_t child, SavedActions& saved) {
    runningProgram = child;
    for (std::size_t i = 0; i < std::size(heldSignals); ++i) {
        const int signal = heldSignals[i];
        struct sigaction action {};
        action.sa_handler = signal == SIGTERM || signal == SIGHUP ? passOn : SIG_IGN;
        sigemptyset(&action.sa_mask);
        ::sigaction(signal, &action, &saved[i]);
    }
}

void giveSignalsBack(const SavedActions& saved) {
    for (std::size_t i = 0; i < std::size(heldSignals); ++i) ::sigaction(heldSignals[i], &saved[i], nullptr);
    runningProgram = 0;
}

// The child's side of runProgram: its standard input the pipe, its standard
// output perhaps nowhere, its signals as this program was given them, then
// the program. Only calls that are safe between fork and exec.
[[noreturn]] void execProgram(const char* program, char* const argv[], int input, bool quiet, int report, pid_t parent,
                              const DefaultChildSignal& childSignal, const sigset_t& mask) {
    if (!stayOnlyWithParent(parent)) ::_exit(127);
    // dup2 onto itself would leave the descriptor close-on-exec.
    if (input == STDIN_FILENO) {
        ::fcntl(input, F_SETFD, 0);
    } else {
        ::dup2(input, STDIN_FILENO);
    }
    if (quiet) {
        const int nowhere = ::open("/dev/null", O_WRONLY);
        if (nowhere >= 0 && nowhere != STDOUT_FILENO) {
            ::dup2(nowhere, STDOUT_FILENO);
            ::close(nowhere);
        }
    }
    childSignal.give();
    ::sigprocmask(SIG_SETMASK, &mask, nullptr);
    ::execv(program, argv);
    const int failure = errno;
    (void)!::write(report, &failure, sizeof failure);
    ::_exit(127);
}

// exec's failure as the child reported it, or 0 once the program runs.
int execFailure(int report) {
    int failure = 0;
    ssize_t got = 0;
    while ((got = ::read(report, &failure, sizeof failure)) < 0 && errno == EINTR) {
    }
    return got == sizeof failure ? failure : 0;
}

// The limited child's side.

[[noreturn]] void outOfMemory() { ::_exit(childOutOfMemory); }

// The address space the child has mapped when it starts: the limit is
// counted from there.
std::uint64_t addressSpaceNow() {
    char text[64] = {};
    const int fd = ::open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    const ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (n <= 0) return 0;
    return std::strtoull(text, nullptr, 10) * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
}

void limitChild(const ChildLimits& limits) {
    rlimit memory{};
    ::getrlimit(RLIMIT_AS, &memory);
    const std::uint64_t wanted = addressSpaceNow() + limits.memoryBytes;
    if (memory.rlim_cur == RLIM_INFINITY || wanted < memory.rlim_cur) memory.rlim_cur = wanted;
    ::setrlimit(RLIMIT_AS, &memory);
    // Behind the parent's clock, in case the parent is stopped: the CPU
    // time the child may use.
    const rlimit cpu{static_cast<rlim_t>(limits.seconds) + 1, static_cast<rlim_t>(limits.seconds) + 2};
    ::setrlimit(RLIMIT_CPU, &cpu);
}

[[noreturn]] void runWork(const ChildLimits& limits, const std::function<int(int)>& work, int resultFd, pid_t parent) {
    if (!stayOnlyWithParent(parent)) ::_exit(127);
    // Nothing of the work's reaches the terminal or the program's output.
    const int null = ::open("/dev/null", O_RDWR);
    for (int fd = 0; fd <= 2; ++fd) ::dup2(null, fd);
    std::set_new_handler(outOfMemory);
    limitChild(limits);
    int status = childOutOfMemory;
    try {
        status = work(resultFd);
    } catch (const std::bad_alloc&) {
        status = childOutOfMemory;
    }
    ::_exit(status);
}

// The limited child's parent's side.

double secondsNow() {
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Waits until the child has ended (its end of `ended` closes) or the time is
// up. False when the time is up.
bool waitForEnd(int ended, int seconds) {
    const double deadline = secondsNow() + seconds;
    for (;;) {
        const double left = deadline - secondsNow();
        if (left <= 0) return false;
        pollfd watch{ended, POLLIN, 0};
        const int ready = ::poll(&watch, 1, static_cast<int>(std::ceil(std::fmin(left, 3600.0) * 1000)));
        if (ready > 0) {
            char ignored = 0;
            if (::read(ended, &ignored, 1) <= 0) return true;  // nothing is ever written: only its end comes
        }
        if (ready < 0 && errno != EINTR) return true;  // cannot wait: waitpid will
    }
}

}  // namespace

int runProgram(const ProgramRun& run, std::string& error) {
    // Everything the child needs, made before fork: the child may only call
    // what is safe in a copy of a process that may have had threads.
    std::vector<std::string> words = {run.program};
    words.insert(words.end(), run.arguments.begin(), run.arguments.end());
    std::vector<char*> argv;
    argv.reserve(words.size() + 1);
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    const auto cannotStart = [&](int code) {
        error = "cannot run " + run.program + ": " + std::strerror(code);
        return -1;
    };
    int input[2], report[2];
    if (::pipe2(input, O_CLOEXEC) != 0) return cannotStart(errno);
    Descriptor inputRead{input[0]}, inputWrite{input[1]};
    if (::pipe2(report, O_CLOEXEC) != 0) return cannotStart(errno);
    Descriptor reportRead{report[0]}, reportWrite{report[1]};

    // The signals taken over below are held from before fork until they are:
    // a SIGTERM in between would end this program before afterEnd.
    const sigset_t held = heldSet();
    sigset_t given;
    ::sigprocmask(SIG_BLOCK, &held, &given);
    const DefaultChildSignal childSignal;
    const pid_t parent = ::getpid();
    const pid_t child = ::fork();
    if (child < 0) {
        const int code = errno;
        ::sigprocmask(SIG_SETMASK, &given, nullptr);
        return cannotStart(code);
    }
    if (child == 0)
        execProgram(run.program.c_str(), argv.data(), inputRead.fd, run.quiet, reportWrite.fd, parent, childSignal,
                    given);
    // Only now, in this process alone: the child must start with the
    // dispositions this program was given. Taken before fork, SIGINT, SIGQUIT
    // and SIGPIPE would reach it ignored (exec keeps an ignored signal
    // ignored), and Ctrl-C in the terminal would no longer end it.
    SavedActions saved{};
    holdSignals(child, saved);
    ::sigprocmask(SIG_SETMASK, &given, nullptr);
    inputRead.close();
    reportWrite.close();

    if (const int failure = execFailure(reportRead.fd)) {
        waitFor(child);
        giveSignalsBack(saved);
        return cannotStart(failure);
    }
    (void)writeAll(inputWrite.fd, run.input);  // a child that reads none of it ends as it will
    inputWrite.close();
    const int status = waitFor(child);
    if (run.afterEnd) run.afterEnd();
    giveSignalsBack(saved);
    return shellStatus(status);
}

bool runLimited(const ChildLimits& limits, const std::function<int(int resultFd)>& work, LimitedRun& run,
                std::string& error) {
    const auto cannotStart = [&](int code) {
        error = std::strerror(code);
        return false;
    };
    run.result = Descriptor{::memfd_create("tarvexgl-result", MFD_CLOEXEC)};
    if (run.result.fd < 0) return cannotStart(errno);
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return cannotStart(errno);
    Descriptor waitEnd{ends[0]}, childEnd{ends[1]};
    const DefaultChildSignal childSignal;
    const pid_t parent = ::getpid();
    const pid_t child = ::fork();
    if (child < 0) return cannotStart(errno);
    if (child == 0) {
        waitEnd.close();
        runWork(limits, work, run.result.fd, parent);
    }
    childEnd.close();
    const bool ended = waitForEnd(waitEnd.fd, limits.seconds);
    if (!ended) ::kill(child, SIGKILL);
    const int status = waitFor(child);
    if (!ended || (WIFSIGNALED(status) && WTERMSIG(status) == SIGXCPU)) {
        run.end = ChildEnd::outOfTime;
    } else if (WIFSIGNALED(status) || !WIFEXITED(status)) {
        run.end = ChildEnd::crashed;
    } else if (WEXITSTATUS(status) == childOutOfMemory) {
        run.end = ChildEnd::outOfMemory;
    } else {
        run.end = ChildEnd::finished;
        run.status = WEXITSTATUS(status);
    }
    return true;
}

void allowMoreAddressSpace(std::uint64_t bytes) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return;
    limit.rlim_cur = limit.rlim_cur + bytes < limit.rlim_max ? limit.rlim_cur + bytes : limit.rlim_max;
    ::setrlimit(RLIMIT_AS, &limit);
}
