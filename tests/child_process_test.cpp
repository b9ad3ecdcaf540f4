// The one module that starts processes (process/child_process.h), with
// children of the test's own: how a program's end and its failure to start
// come back, the signals it starts with, that no child outlives its parent,
// and the limited child's four ends.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <new>
#include <string>

#include "process/child_process.h"
#include "temp_file.h"

namespace {

constexpr int deadlineMilliseconds = 60000;  // only catches a hang

int runShell(const std::string& script, std::string& error, const std::string& input = "") {
    return runProgram({"/bin/sh", {"-c", script}, input, false, {}}, error);
}

// The line of /proc/<pid>/status that starts with `key`.
std::string statusLine(const std::string& status, const std::string& key) {
    const std::size_t at = status.find(key);
    return at == std::string::npos ? "" : status.substr(at, status.find('\n', at) - at);
}

// Runs `body` with SIGCHLD ignored, as a shell may start a program, then
// gives SIGCHLD its disposition back.
template <class Body>
void withChildSignalIgnored(Body body) {
    struct sigaction ignore {
    }, saved{};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGCHLD, &ignore, &saved);
    body();
    ::sigaction(SIGCHLD, &saved, nullptr);
}

TEST(ChildProcess, AProgramGivesItsStatusOr128PlusItsSignal) {
    std::string error;
    EXPECT_EQ(runShell("exit 7", error), 7);
    EXPECT_EQ(runShell("kill -TERM $$", error), 128 + SIGTERM);
    EXPECT_EQ(runShell("read line && test \"$line\" = hello", error, "hello\n"), 0) << "its standard input";
    EXPECT_EQ(error, "");
}

TEST(ChildProcess, AProgramThatCannotRunSaysWhyAsALine) {
    const TempFolder folder;
    const std::string notAProgram = folder.write("not-a-program",
                                                 "\x7f"
                                                 "ELF but not really");
    ASSERT_EQ(::chmod(notAProgram.c_str(), 0755), 0);
    std::string error;
    EXPECT_EQ(runProgram({folder / "missing", {}, "", false, {}}, error), -1);
    EXPECT_EQ(error, "cannot run " + folder / "missing" + ": No such file or directory");
    EXPECT_EQ(runProgram({notAProgram, {}, "", false, {}}, error), -1);
    EXPECT_EQ(error, "cannot run " + notAProgram + ": Exec format error");
}

TEST(ChildProcess, StatusesComeBackWhenThisProgramWasStartedWithSigchldIgnored) {
    withChildSignalIgnored([] {
        std::string error;
        EXPECT_EQ(runShell("exit 3", error), 3) << error;
        LimitedRun run;
        ASSERT_TRUE(runLimited(
            {std::uint64_t{256} << 20, 60}, [](int) { return 5; }, run, error))
            << error;
        EXPECT_EQ(run.end, ChildEnd::finished);
        EXPECT_EQ(run.status, 5);
    });
}

TEST(ChildProcess, AProgramStartsWithTheSignalsThisProgramWasGiven) {
    const TempFolder folder;
    const std::string status = folder / "status";
    sigset_t block, given;
    sigemptyset(&block);
    sigaddset(&block, SIGUSR1);
    ::sigprocmask(SIG_BLOCK, &block, &given);
    // cp rather than a shell, which would clear its mask first.
    std::string error;
    const int ended = runProgram({"/bin/cp", {"/proc/self/status", status}, "", false, {}}, error);
    const std::string ours = readTextFile("/proc/self/status");
    ::sigprocmask(SIG_SETMASK, &given, nullptr);
    ASSERT_EQ(ended, 0) << error;
    const std::string theirs = readTextFile(status);
    EXPECT_EQ(statusLine(theirs, "SigBlk:"), statusLine(ours, "SigBlk:"));
    EXPECT_EQ(statusLine(theirs, "SigIgn:"), statusLine(ours, "SigIgn:"));
}

TEST(ChildProcess, AProgramDoesNotOutliveItsParent) {
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    const pid_t parent = ::fork();
    ASSERT_GE(parent, 0);
    if (parent == 0) {
        ::dup2(pipe[1], STDOUT_FILENO);
        std::string error;
        runShell("echo $$; exec sleep 600", error);
        ::_exit(0);
    }
    ::close(pipe[1]);
    std::string pid;
    char c = 0;
    while (::read(pipe[0], &c, 1) == 1 && c != '\n') pid += c;
    ::close(pipe[0]);
    ASSERT_FALSE(pid.empty());
    const pid_t program = std::stoi(pid);
    const int watch = static_cast<int>(::syscall(SYS_pidfd_open, program, 0));
    ::kill(parent, SIGKILL);
    ::waitpid(parent, nullptr, 0);
    if (watch >= 0) {  // else it has gone already
        pollfd ended{watch, POLLIN, 0};
        EXPECT_EQ(::poll(&ended, 1, deadlineMilliseconds), 1) << "the program lives on without its parent";
        ::close(watch);
    }
    ::kill(program, SIGKILL);
}

TEST(ChildProcess, ALimitedChildEndsInOneOfFourWays) {
    const ChildLimits limits{std::uint64_t{256} << 20, 60};
    std::string error;
    LimitedRun done;
    ASSERT_TRUE(runLimited(
        limits, [](int fd) { return ::write(fd, "said", 4) == 4 ? 0 : 1; }, done, error));
    EXPECT_EQ(done.end, ChildEnd::finished);
    EXPECT_EQ(done.status, 0);
    char said[8] = {};
    EXPECT_EQ(::pread(done.result.fd, said, sizeof said, 0), 4);
    EXPECT_EQ(std::string(said), "said");

    LimitedRun outOfMemory;
    ASSERT_TRUE(runLimited(
        limits, [](int) -> int { throw std::bad_alloc(); }, outOfMemory, error));
    EXPECT_EQ(outOfMemory.end, ChildEnd::outOfMemory);
    LimitedRun crashed;
    ASSERT_TRUE(runLimited(
        limits, [](int) -> int { std::abort(); }, crashed, error));
    EXPECT_EQ(crashed.end, ChildEnd::crashed);
    LimitedRun late;
    ASSERT_TRUE(runLimited(
        {limits.memoryBytes, 1},
        [](int) -> int {
            for (;;) ::pause();
        },
        late, error));
    EXPECT_EQ(late.end, ChildEnd::outOfTime);
}

}  // namespace
