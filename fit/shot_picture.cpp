#include "fit/shot_picture.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "fit/show_viewer.h"
#include "formats/off_writer.h"

int drawWithShot(const TriangleMesh& mesh, const ShotRequest& request, std::string& error) {
    const std::string shot = findProgram("tarvexgl-shot");
    if (shot.empty()) {
        error = "no tarvexgl-shot beside this program or on PATH";
        return -1;
    }
    int channel[2];
    if (::pipe2(channel, O_CLOEXEC) != 0) {
        error = std::string("cannot make a pipe: ") + std::strerror(errno);
        return -1;
    }
    const pid_t child = ::fork();
    if (child < 0) {
        error = std::string("cannot start tarvexgl-shot: ") + std::strerror(errno);
        ::close(channel[0]);
        ::close(channel[1]);
        return -1;
    }
    if (child == 0) {
        ::dup2(channel[0], STDIN_FILENO);
        std::string name = shot, turn = "--turn", optionsEnd = "--", fromStandardInput = "/dev/stdin",
                    output = request.output;
        char* withTurn[] = {name.data(),   turn.data(), optionsEnd.data(), fromStandardInput.data(),
                            output.data(), nullptr};
        char* withoutTurn[] = {name.data(), optionsEnd.data(), fromStandardInput.data(), output.data(), nullptr};
        runProgram(shot, request.turn ? withTurn : withoutTurn);
    }
    ::close(channel[0]);
    // tarvexgl-shot stops reading when it cannot draw at all; its status then
    // says why, so a write into the closed pipe must fail quietly rather than
    // end this program.
    struct sigaction ignore {
    }, saved{};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGPIPE, &ignore, &saved);
    (void)writeOff(mesh, channel[1]);
    ::close(channel[1]);
    ::sigaction(SIGPIPE, &saved, nullptr);
    return waitForExit(child);
}
