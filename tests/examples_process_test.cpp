// Every mesh in examples/ through the real tarvexgl binary: it loads, its
// window is mapped, and it ends with status 0 when that window is closed.
// Needs an X display (make test starts Xvfb).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "run_process.h"

namespace {

TEST(ExampleFiles, EachLoadsAndRunsUntilItsWindowIsClosed) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display; run under xvfb-run";
    std::vector<std::string> paths;
    for (const auto& entry : std::filesystem::directory_iterator(EXAMPLES_DIR))
        if (entry.path().extension() == ".off") paths.push_back(entry.path().string());
    std::sort(paths.begin(), paths.end());
    ASSERT_FALSE(paths.empty());
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        ViewerRun run;
        run.input = path + "\n";
        WindowSeen window;
        const ProcessResult r = runViewer(run, &window);
        EXPECT_TRUE(window.mapped);
        EXPECT_FALSE(r.stillRunning) << "still running at the deadline";
        EXPECT_EQ(r.exitStatus, 0) << "stderr: " << r.err;
        EXPECT_EQ(r.out, "Enter the file name :  ");
        EXPECT_EQ(r.err, "");
    }
}

}  // namespace
