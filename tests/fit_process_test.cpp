// The real tarvexgl-fit binary through pipes: its output, its one-line
// refusals and exit statuses, that no OUTPUT is left behind (or changed) when
// it refuses, and --show handing the fitted file to a viewer.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "run_process.h"
#include "temp_file.h"

namespace fs = std::filesystem;

namespace {

const std::string fit = TARVEXGL_FIT_BINARY;
const std::string data = TEST_DATA_DIR;

ProcessResult runFit(std::vector<std::string> args) {
    args.insert(args.begin(), fit);
    return runProcess(args, "", 30);
}

// A fresh, empty folder for one test's outputs.
std::string freshFolder(const std::string& name) {
    std::string folder = tempFolder() + "fit-" + name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

std::size_t entries(const std::string& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

TEST(FitBinary, HelpAndVersion) {
    const ProcessResult help = runFit({"--help"});
    EXPECT_EQ(help.exitStatus, 0);
    EXPECT_EQ(help.out.rfind("Usage: tarvexgl-fit [--up AXIS] [--crease DEG] [--show] INPUT [OUTPUT]\n", 0), 0u);
    EXPECT_NE(help.out.find("Faces of fewer than three corners"), std::string::npos);
    EXPECT_EQ(help.err, "");
    const ProcessResult version = runFit({"--version"});
    EXPECT_EQ(version.exitStatus, 0);
    EXPECT_EQ(version.out.rfind("tarvexgl-fit ", 0), 0u);
}

TEST(FitBinary, UsageErrorsAreOneLineAndStatus2) {
    const struct {
        std::vector<std::string> args;
        const char* err;
    } cases[] = {
        {{}, "tarvexgl-fit: no INPUT given (see tarvexgl-fit --help)\n"},
        {{"--up", "w", "a.off"}, "tarvexgl-fit: --up takes x, y, z, -x, -y or -z, not 'w' (see tarvexgl-fit --help)\n"},
        {{"a.off", "--up"}, "tarvexgl-fit: --up needs an axis: x, y, z, -x, -y or -z (see tarvexgl-fit --help)\n"},
        {{"--crease", "x", "a.off"},
         "tarvexgl-fit: --crease takes degrees from 0 to 180, not 'x' (see tarvexgl-fit --help)\n"},
        {{"--crease=181", "a.off"},
         "tarvexgl-fit: --crease takes degrees from 0 to 180, not '181' (see tarvexgl-fit --help)\n"},
        {{"a.off", "--crease"},
         "tarvexgl-fit: --crease needs an angle in degrees, from 0 to 180 (see tarvexgl-fit --help)\n"},
        {{"--frobnicate", "a.off"}, "tarvexgl-fit: unknown option '--frobnicate' (see tarvexgl-fit --help)\n"},
        {{"a.off", "b.off", "c.off"}, "tarvexgl-fit: more than INPUT and OUTPUT given (see tarvexgl-fit --help)\n"},
        {{"--show", "a.off", "b.off"}, "tarvexgl-fit: --show takes no OUTPUT (see tarvexgl-fit --help)\n"},
    };
    for (const auto& c : cases) {
        const ProcessResult r = runFit(c.args);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.exitStatus, 2);
        EXPECT_EQ(r.out, "");
    }
}

TEST(FitBinary, BadInputsGetOneLineStatus1AndNoOutput) {
    const std::string empty = writeTempFile("fit-empty.off", "");
    const std::string points = writeTempFile("fit-points.off", "OFF\n3 0 0\n0 0 0\n1 0 0\n0 1 0\n");
    const std::string beyond = writeTempFile("fit-beyond.off", "OFF\n300 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n");
    const std::string index = writeTempFile("fit-index.off", "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 3\n");
    const std::string truncated = data + "/compascgal-output.off";
    const std::string huge = data + "/assimp-OutOfMemory.off";
    const std::string garbage = writeTempFile("fit-garbage.stl", "solid x\n  facet normal 0 0 1\n  garbage\n");
    const struct {
        std::string input;
        std::string err;
    } cases[] = {
        {"no/such/mesh.off", "tarvexgl-fit: no/such/mesh.off: cannot open: No such file or directory\n"},
        {data, "tarvexgl-fit: " + data + ": cannot open: Is a directory\n"},
        {empty,
         "tarvexgl-fit: " + empty + ":1: keyword: expected an OFF keyword or the vertex count, found end of file\n"},
        {truncated,
         "tarvexgl-fit: " + truncated + ":7760: face 3878 of 8823: expected an integer, found end of file\n"},
        {huge, "tarvexgl-fit: " + huge +
                   ":2: vertex count: expected an integer in -2147483648..2147483647, found '353535235358'\n"},
        {beyond, "tarvexgl-fit: " + beyond +
                     ":2: vertex count: expected at most 4 vertices in the 27 bytes that follow the header, found "
                     "'300'\n"},
        {index, "tarvexgl-fit: " + index + ":6: face 0 of 1: expected a vertex index in 0..2, found '3'\n"},
        {points, "tarvexgl-fit: " + points + ":2: face count: expected at least one face, found '0'\n"},
        {garbage, "tarvexgl-fit: " + garbage + ":3: facet 0: expected 'outer', found 'garbage'\n"},
    };
    const std::string folder = freshFolder("bad");
    const std::string output = folder + "/out.off";
    const std::string kept = folder + "/kept.off";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        const ProcessResult r = runFit({c.input, output});
        if (!c.err.empty()) {
            EXPECT_EQ(r.err, c.err);
        } else {
            EXPECT_EQ(r.err.rfind("tarvexgl-fit: " + c.input + ": ", 0), 0u) << r.err;
            EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
        }
        EXPECT_EQ(r.exitStatus, 1);
        EXPECT_EQ(r.signal, 0);
        EXPECT_EQ(r.out, "");
        EXPECT_FALSE(fs::exists(output));
        EXPECT_EQ(entries(folder), 0u) << "something was left in the output folder";
        // An OUTPUT that exists already is left as it was.
        writeTempFile("fit-bad/kept.off", "what was there\n");
        EXPECT_EQ(runFit({c.input, kept}).exitStatus, 1);
        EXPECT_EQ(readTextFile(kept), "what was there\n");
        fs::remove(kept);
    }
}

TEST(FitBinary, OutputGoesToTheFileOrToStandardOutput) {
    const std::string folder = freshFolder("out");
    const std::string input = data + "/cgal-mpi.off";
    const ProcessResult toStdout = runFit({input});
    ASSERT_EQ(toStdout.exitStatus, 0) << toStdout.err;
    EXPECT_EQ(toStdout.err, "");
    // Polygons of 3 to 10 corners: 180 triangles; their 90 corners, split
    // along the sharp edges, 237 vertices.
    EXPECT_EQ(toStdout.out.rfind("OFF\n237 180 0\n", 0), 0u);
    const ProcessResult dash = runFit({input, "-"});
    EXPECT_EQ(dash.out, toStdout.out);
    const ProcessResult toFile = runFit({input, folder + "/fitted.off"});
    ASSERT_EQ(toFile.exitStatus, 0) << toFile.err;
    EXPECT_EQ(toFile.out, "");
    EXPECT_EQ(readTextFile(folder + "/fitted.off"), toStdout.out);
    EXPECT_EQ(entries(folder), 1u) << "a temporary file was left beside the output";
    // Replacing a file that exists.
    const ProcessResult again = runFit({data + "/cgal-cube.off", folder + "/fitted.off"});
    ASSERT_EQ(again.exitStatus, 0);
    EXPECT_EQ(readTextFile(folder + "/fitted.off").rfind("OFF\n24 12 0\n", 0), 0u);
}

TEST(FitBinary, OutputThroughALinkOrIntoAFifoKeepsThemWhatTheyAre) {
    const std::string folder = freshFolder("special");
    const std::string expected = runFit({data + "/cgal-cube.off"}).out;
    // A symbolic link: the file it names gets the mesh, the link stays.
    writeTempFile("fit-special/target.off", "old\n");
    fs::create_symlink("target.off", folder + "/link.off");
    ASSERT_EQ(runFit({data + "/cgal-cube.off", folder + "/link.off"}).exitStatus, 0);
    EXPECT_TRUE(fs::is_symlink(folder + "/link.off"));
    EXPECT_EQ(readTextFile(folder + "/target.off"), expected);
    // A FIFO (as a device such as /dev/null would be): written into, not
    // replaced by a file. The reading end is a child that copies it out.
    const std::string fifo = folder + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const pid_t reader = ::fork();
    if (reader == 0) {
        const std::string command = "exec cat < '" + fifo + "' > '" + folder + "/from-fifo.off'";
        ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    const ProcessResult r = runFit({data + "/cgal-cube.off", fifo});
    const bool stillFifo = fs::is_fifo(fifo);
    if (!stillFifo) ::kill(reader, SIGKILL);  // its FIFO is gone: nobody will ever write to it
    int status = 0;
    ::waitpid(reader, &status, 0);
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_TRUE(stillFifo);
    EXPECT_EQ(readTextFile(folder + "/from-fifo.off"), expected);
}

// The face records of an OFF file in the viewer's layout, "3 a b c" each.
std::vector<std::string> faceLines(const std::string& off) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    for (std::size_t next; (next = off.find('\n', at)) != std::string::npos; at = next + 1)
        if (off.compare(at, 2, "3 ") == 0) lines.push_back(off.substr(at, next - at));
    return lines;
}

TEST(FitBinary, OneLineSaysWhatWasTurnedAndTheCreaseAngleDecidesTheSplits) {
    // A tetrahedron wound inward: turned, and said so; its four corners are
    // sharp (faces 109 degrees apart) and become three vertices each.
    const TempFolder folder;
    const std::string inward =
        folder.write("inward.off", "OFF\n4 4 0\n0 0 0\n1 0 0\n0 1 0\n0 0 1\n3 0 1 2\n3 0 3 1\n3 0 2 3\n3 1 3 2\n");
    const std::string said = "tarvexgl-fit: " + inward + ": turned 1 of 1 closed parts outward\n";
    const ProcessResult turned = runFit({inward});
    EXPECT_EQ(turned.exitStatus, 0);
    EXPECT_EQ(turned.err, said);
    EXPECT_EQ(turned.out.rfind("OFF\n12 4 0\n", 0), 0u);
    // Each face turned from its first corner; each corner's first face keeps
    // its vertex, the others get copies, numbered after the four.
    EXPECT_EQ(faceLines(turned.out), (std::vector<std::string>{"3 0 2 1", "3 4 5 3", "3 6 7 8", "3 9 10 11"}));
    const ProcessResult kept = runFit({"--crease", "180", inward});
    EXPECT_EQ(kept.err, said);
    EXPECT_EQ(kept.out.rfind("OFF\n4 4 0\n", 0), 0u);
    EXPECT_EQ(faceLines(kept.out), (std::vector<std::string>{"3 0 2 1", "3 0 1 3", "3 0 3 2", "3 1 2 3"}));

    // A cube that faces out: nothing said; 180 degrees gives its faces as
    // the file has them.
    const ProcessResult cube = runFit({data + "/cgal-cube.off"});
    EXPECT_EQ(cube.err, "");
    EXPECT_EQ(cube.out.rfind("OFF\n24 12 0\n", 0), 0u);
    const ProcessResult asItIs = runFit({"--crease=180", data + "/cgal-cube.off"});
    EXPECT_EQ(asItIs.err, "");
    std::vector<std::string> fileFaces;
    for (const std::string& line : faceLines(readTextFile(data + "/cgal-cube.off"))) {
        std::istringstream numbers(line);
        int n = 0, a = 0, b = 0, c = 0;
        numbers >> n >> a >> b >> c;
        fileFaces.push_back("3 " + std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c));
    }
    EXPECT_EQ(faceLines(asItIs.out), fileFaces);
}

TEST(FitBinary, UnwritableOutputIsOneLine) {
    const ProcessResult r = runFit({data + "/cgal-cube.off", "no/such/folder/out.off"});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.err,
              "tarvexgl-fit: no/such/folder/out.off: cannot create a file beside it: No such file or directory\n");
}

// A copy of tarvexgl-fit with a stand-in viewer beside it: the script saves
// the path it is given on standard input and the file's contents, then ends
// with a status of its own.
struct ShowSetup {
    std::string folder, fitCopy;
};

ShowSetup withFakeViewerIn(const std::string& folder, const std::string& ending) {
    ShowSetup s{folder, folder + "/tarvexgl-fit"};
    fs::copy_file(fit, s.fitCopy);
    const std::string viewer = s.folder + "/tarvexgl";
    std::ofstream(viewer)
        // Shell built-ins only: the PATH test leaves no other commands in reach.
        << "#!/bin/sh\nread path\nprintf '%s' \"$path\" > \"${0%/*}/path.txt\"\n"
           "while IFS= read -r line; do printf '%s\\n' \"$line\"; done < \"$path\" > \"${0%/*}/shown.off\"\n"
        << ending;
    ::chmod(viewer.c_str(), 0755);
    return s;
}

ShowSetup withFakeViewer(const std::string& name, const std::string& ending) {
    return withFakeViewerIn(freshFolder(name), ending);
}

TEST(FitBinary, ShowHandsTheFittedFileToTheViewerBesideItAndRemovesIt) {
    const ShowSetup s = withFakeViewer("show", "exit 7\n");
    const std::string input = data + "/trimesh-whitespace.off";
    const ProcessResult r = runProcess({s.fitCopy, "--show", input}, "", 30);
    EXPECT_EQ(r.exitStatus, 7) << r.err;  // the viewer's own status
    EXPECT_EQ(r.err, "");
    const std::string path = readTextFile(s.folder + "/path.txt");
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.find_first_of(" \t\n"), std::string::npos);
    EXPECT_FALSE(fs::exists(path)) << "the temporary file is still there";
    EXPECT_EQ(readTextFile(s.folder + "/shown.off"), runFit({input}).out);
}

TEST(FitBinary, ShowReturnsTheSignalThatEndedTheViewer) {
    const ShowSetup s = withFakeViewer("show-killed", "kill -TERM $$\n");
    const ProcessResult r = runProcess({s.fitCopy, "--show", data + "/cgal-cube.off"}, "", 30);
    EXPECT_EQ(r.exitStatus, 128 + SIGTERM);
    EXPECT_FALSE(fs::exists(readTextFile(s.folder + "/path.txt")));
}

TEST(FitBinary, ShowPassesTerminationOnToTheViewerAndStillRemovesTheFile) {
    // The stand-in asks for tarvexgl-fit to be ended, then would run until
    // ended itself, as the real viewer does.
    const ShowSetup s = withFakeViewer("show-terminated", "kill -TERM $PPID\nexec tail -f /dev/null\n");
    const ProcessResult r = runProcess({s.fitCopy, "--show", data + "/cgal-cube.off"}, "", 30);
    EXPECT_FALSE(r.stillRunning) << "the viewer was not ended";
    EXPECT_EQ(r.exitStatus, 128 + SIGTERM);
    const std::string path = readTextFile(s.folder + "/path.txt");
    ASSERT_FALSE(path.empty());
    EXPECT_FALSE(fs::exists(path)) << "the temporary file is still there";
}

// The mask of signals /proc/<pid>/status lists as ignored, from its SigIgn
// line, in hexadecimal.
unsigned long long ignoredSignals(const std::string& statusText) {
    const std::size_t at = statusText.find("SigIgn:");
    return at == std::string::npos ? ~0ULL : std::stoull(statusText.substr(at + 7), nullptr, 16);
}

std::string hex(unsigned long long mask) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", mask);
    return text;
}

TEST(FitBinary, ShowStartsTheViewerWithTheSignalsItWasGivenAndAnswersItsPrompt) {
    // The stand-in prints the viewer's prompt and keeps the status of its own
    // process as it started, ignored signals included.
    const TempFolder folder;
    const ShowSetup s = withFakeViewerIn(
        folder.path,
        "printf 'Enter the file name :  '\n"
        "while IFS= read -r line; do printf '%s\\n' \"$line\"; done < /proc/$$/status > \"${0%/*}/status.txt\"\n");
    const ProcessResult r = runProcess({s.fitCopy, "--show", data + "/cgal-cube.off"}, "", 30);
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(r.out, "") << "the viewer's prompt reached the user";
    EXPECT_EQ(r.err, "");
    // tarvexgl-fit starts with nothing ignored (unless this test was started
    // so) and ignores SIGINT, SIGQUIT and SIGPIPE while the viewer runs: the
    // viewer must not inherit that, or Ctrl-C would no longer end it.
    const unsigned long long pipe = 1ULL << (SIGPIPE - 1);  // ignored here for the pipes to the child only
    const unsigned long long given = ignoredSignals(readTextFile("/proc/self/status")) & ~pipe;
    EXPECT_EQ(hex(ignoredSignals(readTextFile(s.folder + "/status.txt"))), hex(given)) << "signals ignored";
}

TEST(FitBinary, ShowFindsTheViewerOnPathOrSaysItHasNone) {
    const std::string folder = freshFolder("show-path");
    const std::string lonely = folder + "/tarvexgl-fit";
    fs::copy_file(fit, lonely);
    const char* pathNow = std::getenv("PATH");
    const std::string savedPath = pathNow ? pathNow : "";

    const ShowSetup onPath = withFakeViewer("show-on-path", "exit 0\n");
    ::setenv("PATH", (folder + "/none:" + onPath.folder).c_str(), 1);
    const ProcessResult found = runProcess({lonely, "--show", data + "/cgal-cube.off"}, "", 30);
    ::setenv("PATH", (folder + "/none").c_str(), 1);
    const ProcessResult missing = runProcess({lonely, "--show", data + "/cgal-cube.off"}, "", 30);
    ::setenv("PATH", savedPath.c_str(), 1);

    EXPECT_EQ(found.exitStatus, 0) << found.err;
    EXPECT_TRUE(fs::exists(onPath.folder + "/shown.off"));
    EXPECT_EQ(missing.exitStatus, 1);
    EXPECT_EQ(missing.err, "tarvexgl-fit: --show: no tarvexgl beside this program or on PATH\n");
}

}  // namespace
