// Hostile input through the real binary. Whatever a file holds, whatever the
// path names and whatever happens to standard input, tarvexgl must end by
// itself, quickly, with status 255 (never a signal), exactly one line on
// standard error, and nothing on standard output but the prompt.
//
// Needs an X display: the window opens before the prompt. Under
// TARVEXGL_RUN_UNDER (valgrind, see run_process.h) the time bound only
// catches a hang, and anything the tool prints on standard error fails the
// case.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "run_process.h"
#include "temp_file.h"

namespace {

const std::string prompt = "Enter the file name :  ";
const std::string modelPrefix = "Model Constructor: ";

std::vector<std::string> command() { return commandUnderWrapper(TARVEXGL_BINARY); }

// Generous against a loaded machine; the real figures are printed.
double timeBound() { return underWrapper() ? 120.0 : 5.0; }

struct Timing {
    int runs = 0;
    double total = 0, slowest = 0;
    std::string slowestName;
};

class Hostile : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display; run under xvfb-run";
    }
    void TearDown() override {
        if (timing.runs == 0) return;
        std::printf("[ timing   ] %d runs, mean %.3f s, slowest %.3f s (%s)\n", timing.runs, timing.total / timing.runs,
                    timing.slowest, timing.slowestName.c_str());
    }

    // Runs tarvexgl with `input` at the prompt and checks the common ending:
    // status 255, only the prompt on standard output, one line on standard
    // error that starts with `errorPrefix`.
    void expectRefused(const std::string& name, const std::string& input, const std::string& errorPrefix,
                       bool noStdin = false) {
        SCOPED_TRACE(name);
        const ProcessResult r = runProcess(command(), input, timeBound() + 5, noStdin);
        ++timing.runs;
        timing.total += r.seconds;
        if (r.seconds > timing.slowest) timing.slowest = r.seconds, timing.slowestName = name;
        ASSERT_FALSE(r.stillRunning) << "still running after " << r.seconds << " s";
        EXPECT_EQ(r.signal, 0) << "ended by signal " << r.signal << "; stderr: " << r.err;
        EXPECT_EQ(r.exitStatus, 255) << "stderr: " << r.err;
        EXPECT_EQ(r.out, prompt);
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << "stderr: " << r.err;
        EXPECT_TRUE(!r.err.empty() && r.err.back() == '\n') << "stderr: " << r.err;
        EXPECT_EQ(r.err.substr(0, errorPrefix.size()), errorPrefix) << "stderr: " << r.err;
        EXPECT_LT(r.seconds, timeBound());
    }

    // The file holding `contents` must be refused by the reader, which names
    // the file first.
    void expectFileRefused(const std::string& name, const std::string& contents) {
        const std::string path = writeTempFile("hostile.off", contents);
        expectRefused(name, path + "\n", modelPrefix + path + ":");
    }

    Timing timing;
};

struct HostileFile {
    const char* name;
    std::string contents;
};

const std::string triangleHead = "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n";  // one face record due

TEST_F(Hostile, MalformedFilesAreRefused) {
    const HostileFile cases[] = {
        {"empty file", ""},
        {"only white space", " \n\t\r\n\v\f"},
        {"exponent without digits", "OFF\n1 0 0\n4e 0 0\n"},
        {"two signs", "OFF\n1 0 0\n--1 0 0\n"},
        {"fraction as a count", "OFF\n2.0 0 0\n0 0 0\n1 1 1\n"},
        {"fraction as a vertex index", triangleHead + "3 0 1 2.0\n"},
        {"fraction as the corner count", triangleHead + "3.0 0 1 2\n"},
        {"integer above the 32-bit range", triangleHead + "3 0 1 2147483648\n"},
        {"integer below the 32-bit range", triangleHead + "3 0 -2147483649 2\n"},
        {"file ends inside the counts", "OFF\n3 1\n"},
        {"file ends inside a vertex", "OFF\n3 1 0\n0 0 0\n1 0"},
        {"file ends inside a face", triangleHead + "3 0 1"},
        {"keyword of 12 characters", "OFFOFFOFFOFF 0 0 0\n"},
        {"keyword of 5000 characters", std::string(5000, 'K') + " 0 0 0\n"},
        {"negative vertex count", "OFF\n-1 0 0\n"},
        {"negative face count", "OFF\n0 -1 0\n"},
        {"most negative count", "OFF\n-2147483648 0 0\n"},
        {"vertex index equal to the vertex count", triangleHead + "3 0 1 3\n"},
        {"negative vertex index", triangleHead + "3 -1 1 2\n"},
        {"largest vertex index", triangleHead + "3 0 1 2147483647\n"},
        {"face in a mesh without vertices", "OFF 0 1 0 3 0 0 0\n"},
        {"giant vertex count", "OFF\n2147483647 0 0\n0 0 0\n"},
        {"giant face count", triangleHead.substr(0, 4) + "3 2147483647 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n"},
        {"giant counts everywhere", "OFF 2147483647 2147483647 2147483647\n"},
        {"vertex count of 2^32", "OFF\n4294967296 1 0\n"},
        {"vertex count of 2^32 + 3", "OFF\n4294967299 1 0\n"},
        {"face count beyond 64 bits", "OFF\n3 99999999999999999999999999999 0\n"},
        {"negative count beyond 32 bits", "OFF\n3 -4294967297 0\n"},
        {"counts the file cannot hold", "OFF\n1000 1000 0\n0 0 0\n1 1 1\n"},
        {"count of a mebibyte of digits", "OFF " + std::string(1 << 20, '7') + " 0 0\n"},
        {"NUL byte inside a vertex", std::string("OFF\n1 0 0\n0 0") + '\0' + "5 0\n"},
        {"NUL byte as the first byte", std::string(1, '\0') + "OFF 0 0 0\n"},
        {"NUL byte inside the keyword", std::string("OF") + '\0' + "F 0 0 0\n"},
        {"NUL byte between records", triangleHead + '\0' + "3 0 1 2\n"},
        {"control bytes and UTF-8 in a number", "OFF\n1 0 0\n\x1b[31m \xe2\x88\x9e 0\n"},
    };
    for (const HostileFile& c : cases) expectFileRefused(c.name, c.contents);
}

// A small mesh cut after every token: at each record boundary and inside
// every record.
TEST_F(Hostile, TruncationAtEveryRecordBoundary) {
    const std::string mesh = "OFF\n4 2 0\n0 0 0\n1 0 0\n1 1 0\n0 1 0\n3 0 1 2\n3 0 2 3\n";
    int cuts = 0;
    for (std::size_t end = 0; end + 1 < mesh.size(); ++end) {
        const bool tokenEndsHere = end == 0 || (mesh[end] == ' ' || mesh[end] == '\n');
        if (!tokenEndsHere || (end > 0 && mesh[end - 1] == ' ')) continue;
        expectFileRefused("cut after byte " + std::to_string(end), mesh.substr(0, end));
        ++cuts;
    }
    EXPECT_EQ(cuts, 24);  // the empty file and a cut after each token but the last
}

TEST_F(Hostile, RandomBinaryData) {
    std::mt19937 random(4);
    for (const std::size_t size : {1, 64, 4096, 65536}) {
        std::string bytes(size, '\0');
        for (char& b : bytes) b = static_cast<char>(random());
        expectFileRefused(std::to_string(size) + " random bytes", bytes);
    }
    // Random bytes after a plausible header, so the reader gets as far as the
    // records.
    std::string bytes = "OFF\n40 40 0\n";
    for (int i = 0; i < 4096; ++i) bytes += static_cast<char>(random());
    expectFileRefused("random records", bytes);
}

// Real files from other programs that are not in this layout.
TEST_F(Hostile, RealFilesOutsideTheLayout) {
    for (const char* name :
         {"pmp-beetle.off", "compascgal-output.off", "assimp-OutOfMemory.off", "trimesh-comments.off"}) {
        const std::string path = std::string(TEST_DATA_DIR) + "/" + name;
        expectRefused(name, path + "\n", modelPrefix + path + ":");
    }
}

TEST_F(Hostile, PathsThatAreNotMeshFiles) {
    expectRefused("a directory", std::string(TEST_DATA_DIR) + "\n", modelPrefix + "Couldn't open");
    expectRefused("a missing file", "no/such/mesh.off\n", modelPrefix + "Couldn't open");
    expectRefused("bytes that are not text", "\x01\x7f\xc3\x28.off\n", modelPrefix + "Couldn't open");

    // 300 bytes of path to a real, malformed file: the path is kept whole.
    std::string dir = ::testing::TempDir();
    while (dir.size() < 250) {
        dir += std::string(40, 'd') + "/";
        mkdir(dir.c_str(), 0700);
    }
    const std::string longPath = dir + std::string(300 - dir.size() - 4, 'f') + ".off";
    ASSERT_EQ(longPath.size(), 300u);
    const std::string written = writeTempFile(longPath.substr(::testing::TempDir().size()), "OFF 1 0 0 0 0 x\n");
    ASSERT_EQ(written, longPath);
    expectRefused("a path of 300 bytes", longPath + "\n", modelPrefix + longPath + ":1: vertex 0 of 1:");
    expectRefused("a path of 300 bytes that does not exist", "long/" + std::string(295, 'a') + "\n",
                  modelPrefix + "Couldn't open long/aaaa");
    expectRefused("a path longer than PATH_MAX", std::string(5000, 'p') + "\n", modelPrefix + "Couldn't open ppp");
    expectRefused("a file name of a mebibyte", std::string(1 << 20, 'n'), modelPrefix + "Couldn't open nnn");

    // Devices: an endless stream of NUL bytes, and an empty one.
    expectRefused("/dev/zero", "/dev/zero\n",
                  modelPrefix + "/dev/zero:1: keyword: expected a keyword, found a NUL byte");
    expectRefused("/dev/null", "/dev/null\n",
                  modelPrefix + "/dev/null:1: keyword: expected a keyword, found end of file");
}

TEST_F(Hostile, StandardInputEndsOrIsClosedAtThePrompt) {
    const std::string noName = "tarvexgl: no file name given";
    expectRefused("standard input at its end", "", noName);
    expectRefused("only white space before the end", " \n\t\n", noName);
    // Descriptor 0 closed altogether: the X connection must not take its
    // place and be read as the file name. Whether X bytes are waiting by
    // then is a matter of timing, hence several runs.
    const int runs = underWrapper() ? 2 : 20;
    for (int run = 0; run < runs; ++run) expectRefused("standard input closed", "", noName, true);
}

}  // namespace
