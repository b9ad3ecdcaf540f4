#include "shot/fit_child.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>

namespace {

std::string temporaryFolder() {
    const char* tmpdir = std::getenv("TMPDIR");
    return tmpdir && tmpdir[0] == '/' ? tmpdir : "/tmp";
}

std::string besideThisProgram(const char* name) {
    char self[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return "";
    const std::string path(self, static_cast<std::size_t>(n));
    return path.substr(0, path.rfind('/') + 1) + name;
}

// In the child: tarvexgl-fit INPUT written to standard output, which is the
// temporary file. Should exec fail, its errno goes back through `report`,
// which closes by itself when exec succeeds.
[[noreturn]] void runFit(const std::string& beside, const std::string& input, int output, int report) {
    // Should this process be killed (a file manager's time limit), the
    // child goes with it rather than working on for nobody.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    std::string name = "tarvexgl-fit", optionsEnd = "--", in = input, toStandardOutput = "-";
    char* argv[] = {name.data(), optionsEnd.data(), in.data(), toStandardOutput.data(), nullptr};
    if (::dup2(output, STDOUT_FILENO) >= 0) {
        if (!beside.empty()) ::execv(beside.c_str(), argv);
        ::execvp(name.c_str(), argv);
    }
    const int failure = errno;
    (void)!::write(report, &failure, sizeof failure);
    ::_exit(127);
}

}  // namespace

int fitIntoTemporaryFile(const std::string& input, int& fd, std::string& error) {
    error.clear();
    std::string name = temporaryFolder() + "/tarvexgl-shot-XXXXXX";
    fd = ::mkstemp(name.data());
    if (fd < 0) {
        error = "cannot create a temporary file in " + temporaryFolder() + ": " + std::strerror(errno);
        return 1;
    }
    ::unlink(name.c_str());
    const std::string beside = besideThisProgram("tarvexgl-fit");
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        error = std::string("cannot make a pipe: ") + std::strerror(errno);
        return 1;
    }
    const pid_t child = ::fork();
    if (child < 0) {
        error = std::string("cannot start tarvexgl-fit: ") + std::strerror(errno);
        ::close(report[0]);
        ::close(report[1]);
        return 1;
    }
    if (child == 0) runFit(beside, input, fd, report[1]);
    ::close(report[1]);
    int execFailure = 0;
    ssize_t got = 0;
    while ((got = ::read(report[0], &execFailure, sizeof execFailure)) < 0 && errno == EINTR) {
    }
    ::close(report[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (got == sizeof execFailure) {
        error = "cannot run tarvexgl-fit: " + std::string(std::strerror(execFailure));
        return 1;
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return 0;
    if (WIFSIGNALED(status)) error = "tarvexgl-fit ended by signal " + std::to_string(WTERMSIG(status));
    return 255;
}
