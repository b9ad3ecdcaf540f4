// Every mesh in examples/ through the real tarvexgl binary: it loads and the
// window keeps turning. Needs an X display (make test starts Xvfb).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "run_process.h"

// clang-format off
#include <X11/Xlib.h>  // last: its macros (None, Bool, Status) break other headers
// clang-format on

namespace {

TEST(ExampleFiles, EachLoadsAndKeepsTheViewerRunning) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display; run under xvfb-run";
    std::vector<std::string> paths;
    for (const auto& entry : std::filesystem::directory_iterator(EXAMPLES_DIR))
        if (entry.path().extension() == ".off") paths.push_back(entry.path().string());
    std::sort(paths.begin(), paths.end());
    ASSERT_FALSE(paths.empty());
    // A connection of our own for the whole run: Xvfb resets when its last
    // client leaves, and a viewer that connects during the reset is refused.
    const std::unique_ptr<Display, int (*)(Display*)> keepServerUp(XOpenDisplay(nullptr), XCloseDisplay);
    ASSERT_NE(keepServerUp, nullptr);
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        const ProcessResult r = runProcess({TARVEXGL_BINARY}, path + "\n", 1.2);
        EXPECT_TRUE(r.stillRunning) << "exit status " << r.exitStatus << ", stderr: " << r.err;
        EXPECT_EQ(r.out, "Enter the file name :  ");
        EXPECT_EQ(r.err, "");
    }
}

}  // namespace
