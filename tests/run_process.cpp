#include "run_process.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <sstream>

ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& input, double seconds, bool noStdin) {
    int in[2], out[2], err[2];
    ProcessResult result;
    if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC)) return result;
    signal(SIGPIPE, SIG_IGN);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        if (noStdin) {
            close(0);
        } else {
            dup2(in[0], 0);
        }
        dup2(out[1], 1);
        dup2(err[1], 2);
        std::vector<char*> args;
        args.reserve(argv.size() + 1);
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
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
    if (input.empty() || noStdin) close(writeFd), writeFd = -1;
    int readFds[2] = {out[0], err[0]};
    int status = 0;
    bool exited = false;
    while (!exited && elapsed() < seconds) {
        pollfd fds[3] = {{readFds[0], POLLIN, 0}, {readFds[1], POLLIN, 0}, {writeFd, POLLOUT, 0}};
        poll(fds, 3, 10);
        for (int i = 0; i < 2; ++i) {
            if (readFds[i] < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buffer[4096];
            const ssize_t n = read(readFds[i], buffer, sizeof buffer);
            if (n > 0) (i == 0 ? result.out : result.err).append(buffer, static_cast<std::size_t>(n));
            else
                close(readFds[i]), readFds[i] = -1;
        }
        if (writeFd >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
            const ssize_t n = write(writeFd, input.data() + written, input.size() - written);
            if (n > 0) written += static_cast<std::size_t>(n);
            if (n < 0 || written == input.size()) close(writeFd), writeFd = -1;
        }
        // Done once the child has exited and both pipes are drained.
        if (readFds[0] < 0 && readFds[1] < 0) exited = waitpid(pid, &status, 0) == pid;
        else if (fds[0].revents == 0 && fds[1].revents == 0)
            exited = waitpid(pid, &status, WNOHANG) == pid;
    }
    result.seconds = elapsed();
    if (!exited) {
        result.stillRunning = true;
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    } else {
        for (int i = 0; i < 2; ++i) {  // what the child wrote just before it exited
            char buffer[4096];
            ssize_t n = 0;
            while (readFds[i] >= 0 && (n = read(readFds[i], buffer, sizeof buffer)) > 0)
                (i == 0 ? result.out : result.err).append(buffer, static_cast<std::size_t>(n));
        }
    }
    if (exited && WIFEXITED(status)) {
        result.exitStatus = WEXITSTATUS(status);
    } else if (exited && WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    for (int fd : {readFds[0], readFds[1], writeFd})
        if (fd >= 0) close(fd);
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
