// The real tarvexgl binary through pipes: the prompt, the error lines, the
// exit status, and the window it opens, as the X server sees it. Needs an X
// display (make test starts Xvfb).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "run_process.h"
#include "temp_file.h"

namespace {

const std::string prompt = "Enter the file name :  ";

class Binary : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display; run under xvfb-run";
    }
    // The deadline only catches a hang: a viewer that loads ends when its
    // window is closed.
    static ProcessResult run(const std::string& input) {
        ViewerRun viewer;
        viewer.input = input;
        return runViewer(viewer);
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

// The viewer runs until its window is closed: then GLUT ends it with 0.
TEST_F(Binary, GoodFileLoadsAndRunsUntilTheWindowIsClosed) {
    ViewerRun run;
    run.input = std::string(TEST_DATA_DIR) + "/cgal-cube.off\n";
    WindowSeen window;
    const ProcessResult r = runViewer(run, &window);
    EXPECT_TRUE(window.mapped);
    EXPECT_FALSE(r.stillRunning);
    EXPECT_EQ(r.exitStatus, 0) << "stderr: " << r.err;
    EXPECT_EQ(r.out, prompt);
    EXPECT_EQ(r.err, "");
}

TEST_F(Binary, WindowIs800By600At10And10WithItsTitle) {
    ViewerRun run;
    run.input = std::string(TEST_DATA_DIR) + "/cgal-cube.off\n";
    WindowSeen window;
    const ProcessResult r = runViewer(run, &window);
    ASSERT_TRUE(window.mapped) << "no window named TarvexGLRendering was mapped; stderr: " << r.err;
    EXPECT_EQ(window.title, "TarvexGLRendering");
    EXPECT_EQ(window.x, 10);
    EXPECT_EQ(window.y, 10);
    EXPECT_EQ(window.width, 800u);
    EXPECT_EQ(window.height, 600u);
}

}  // namespace
