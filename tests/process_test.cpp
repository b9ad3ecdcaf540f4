// The real tarvexgl binary through pipes: the prompt, the error lines, the
// exit status, and the window it opens. Needs an X display (make test starts
// Xvfb).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "run_process.h"
#include "temp_file.h"

namespace {

const std::string prompt = "Enter the file name :  ";

class Binary : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display; run under xvfb-run";
    }
    // Under TARVEXGL_RUN_UNDER (valgrind) every deadline is stretched.
    static ProcessResult run(const std::string& input, double seconds = 10) {
        return runProcess(commandUnderWrapper(TARVEXGL_BINARY), input, underWrapper() ? 15 * seconds : seconds);
    }
};

TEST_F(Binary, MissingFileGetsItsLineAndStatus255) {
    const ProcessResult r = run("no/such.off\n");
    EXPECT_EQ(r.out, prompt);
    EXPECT_EQ(r.err, "Model Constructor: Couldn't open no/such.off\n");
    EXPECT_EQ(r.exitStatus, 255);
    EXPECT_EQ(r.signal, 0);
}

TEST_F(Binary, OnlyTheFirstWordIsTheFileName) {
    const ProcessResult r = run("\n\n   \n\t no/such.off and more words\nsecond line\n");
    EXPECT_EQ(r.out, prompt);
    EXPECT_EQ(r.err, "Model Constructor: Couldn't open no/such.off\n");
    EXPECT_EQ(r.exitStatus, 255);
}

TEST_F(Binary, DirectoryIsUnopenable) {
    const ProcessResult r = run("/\n");
    EXPECT_EQ(r.err, "Model Constructor: Couldn't open /\n");
    EXPECT_EQ(r.exitStatus, 255);
}

TEST_F(Binary, OverlongPathIsReadWhole) {
    const std::string path = "long/" + std::string(300, 'a') + ".off";
    const ProcessResult r = run(path + "\n");
    EXPECT_EQ(r.err, "Model Constructor: Couldn't open " + path + "\n");
    EXPECT_EQ(r.exitStatus, 255);
}

TEST_F(Binary, EndOfInputBeforeAnyWord) {
    for (const std::string input : {"", "  \n\n\t"}) {
        const ProcessResult r = run(input);
        EXPECT_EQ(r.out, prompt);
        EXPECT_EQ(r.err, "tarvexgl: no file name given: standard input ended before a word was read\n");
        EXPECT_EQ(r.exitStatus, 255);
    }
}

TEST_F(Binary, MalformedFileGetsOneLineAndStatus255) {
    const std::string path = writeTempFile("process-bad.off", "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 3\n");
    const ProcessResult r = run(path + "\n");
    EXPECT_EQ(r.out, prompt);
    EXPECT_EQ(r.err, "Model Constructor: " + path + ":6: face 0 of 1: expected a vertex index in 0..2, found '3'\n");
    EXPECT_EQ(r.exitStatus, 255);
}

TEST_F(Binary, GoodFileKeepsTheWindowTurning) {
    const std::string path = std::string(TEST_DATA_DIR) + "/cgal-cube.off";
    const ProcessResult r = run(path + "\n", 1.5);
    EXPECT_TRUE(r.stillRunning) << "exit status " << r.exitStatus << ", stderr: " << r.err;
    EXPECT_EQ(r.out, prompt);
    EXPECT_EQ(r.err, "");
}

TEST_F(Binary, WindowIs800By600At10And10WithItsTitle) {
    const std::string path = std::string(TEST_DATA_DIR) + "/cgal-cube.off";
    ProcessResult viewer;
    std::thread running([&] { viewer = run(path + "\n", 4); });
    ProcessResult info;
    for (int attempt = 0; attempt < 30; ++attempt) {  // until the window is mapped
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        info = runProcess({"/usr/bin/xwininfo", "-name", "TarvexGLRendering"}, "", 5);
        if (info.exitStatus == 0) break;
    }
    running.join();
    ASSERT_EQ(info.exitStatus, 0) << info.err;
    EXPECT_NE(info.out.find("Absolute upper-left X:  10\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("Absolute upper-left Y:  10\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("Width: 800\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("Height: 600\n"), std::string::npos) << info.out;
}

}  // namespace
