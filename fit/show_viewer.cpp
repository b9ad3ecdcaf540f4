#include "fit/show_viewer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "formats/off_writer.h"

namespace {

bool isExecutable(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// The viewer reads the path as one whitespace-free word.
bool hasSpace(const std::string& text) { return text.find_first_of(" \t\n\r\v\f") != std::string::npos; }

std::string temporaryFolder() {
    const char* tmpdir = std::getenv("TMPDIR");
    if (tmpdir && tmpdir[0] == '/' && !hasSpace(tmpdir)) return tmpdir;
    return "/tmp";
}

// The viewer being waited for, so that a request to end this program (kill,
// a closed terminal) is passed on to it and the file is still removed.
volatile sig_atomic_t viewerPid = 0;

void passOn(int signal) {
    if (viewerPid > 0) ::kill(static_cast<pid_t>(viewerPid), signal);
}

// While the viewer runs: as system() does, the terminal's interrupt and quit
// go to the viewer alone and this program stays to clean up; a viewer that
// ends without reading its input must not end this program either; and
// SIGTERM or SIGHUP is passed on to the viewer, whose end then removes the
// file as usual.
constexpr int handledSignals[] = {SIGINT, SIGQUIT, SIGPIPE, SIGTERM, SIGHUP};
using SavedActions = struct sigaction[std::size(handledSignals)];

void takeSignals(pid_t viewer, SavedActions& saved) {
    viewerPid = viewer;
    for (std::size_t i = 0; i < std::size(handledSignals); ++i) {
        const int signal = handledSignals[i];
        struct sigaction action {};
        action.sa_handler = signal == SIGTERM || signal == SIGHUP ? passOn : SIG_IGN;
        sigemptyset(&action.sa_mask);
        ::sigaction(signal, &action, &saved[i]);
    }
}

void giveSignalsBack(const SavedActions& saved) {
    for (std::size_t i = 0; i < std::size(handledSignals); ++i) ::sigaction(handledSignals[i], &saved[i], nullptr);
    viewerPid = 0;
}

}  // namespace

std::string findViewer() { return findProgram("tarvexgl"); }

std::string findProgram(const std::string& name) {
    char self[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
        std::string beside(self, static_cast<std::size_t>(n));
        beside = beside.substr(0, beside.rfind('/') + 1) + name;
        if (isExecutable(beside)) return beside;
    }
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "";
    std::size_t start = 0;
    while (start <= folders.size()) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        const std::string folder = end > start ? folders.substr(start, end - start) : ".";
        if (isExecutable(folder + "/" + name)) return folder + "/" + name;
        start = end + 1;
    }
    return "";
}

void runProgram(const std::string& program, char* const argv[]) {
    ::execv(program.c_str(), argv);
    const std::string message = "tarvexgl-fit: cannot run " + program + ": " + std::strerror(errno) + "\n";
    (void)!::write(STDERR_FILENO, message.data(), message.size());
    ::_exit(127);
}

int waitForExit(pid_t child) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return 1;
}

int showInViewer(const TriangleMesh& mesh, const std::string& viewer, std::string& error) {
    std::string file = temporaryFolder() + "/tarvexgl-fit-XXXXXX.off";
    const int fd = ::mkstemps(file.data(), 4);
    if (fd < 0) {
        error = "cannot create a temporary file in " + temporaryFolder() + ": " + std::strerror(errno);
        return -1;
    }
    const bool written = writeOff(mesh, fd);
    const int writeErrno = errno;
    if (::close(fd) != 0 || !written) {
        error = file + ": cannot write it: " + std::strerror(written ? errno : writeErrno);
        ::unlink(file.c_str());
        return -1;
    }

    int channel[2];
    if (::pipe(channel) != 0) {
        error = std::string("cannot make a pipe: ") + std::strerror(errno);
        ::unlink(file.c_str());
        return -1;
    }
    const pid_t child = ::fork();
    if (child < 0) {
        error = std::string("cannot start the viewer: ") + std::strerror(errno);
        ::close(channel[0]);
        ::close(channel[1]);
        ::unlink(file.c_str());
        return -1;
    }
    if (child == 0) {
        ::dup2(channel[0], STDIN_FILENO);
        ::close(channel[0]);
        ::close(channel[1]);
        // The viewer's standard output carries nothing but its prompt, which
        // this program answers: the user is not asked for anything.
        const int nowhere = ::open("/dev/null", O_WRONLY);
        if (nowhere >= 0) {
            ::dup2(nowhere, STDOUT_FILENO);
            ::close(nowhere);
        }
        std::string name = viewer;
        char* argv[] = {name.data(), nullptr};
        runProgram(viewer, argv);
    }
    // Only now, in this process alone: the viewer must start with the signal
    // dispositions this program was given. Taken before fork, SIGINT, SIGQUIT
    // and SIGPIPE would reach the viewer ignored (exec keeps an ignored signal
    // ignored), and Ctrl-C in the terminal would no longer end it.
    SavedActions saved{};
    takeSignals(child, saved);
    ::close(channel[0]);
    const std::string answer = file + "\n";
    (void)!::write(channel[1], answer.data(), answer.size());
    ::close(channel[1]);

    const int status = waitForExit(child);
    ::unlink(file.c_str());
    giveSignalsBack(saved);
    return status;
}
