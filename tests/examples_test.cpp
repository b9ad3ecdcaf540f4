// The meshes in examples/ as the fixed camera sees them: whole, at every
// turntable angle, and big enough to look at. Worked out from the vertices
// alone, so it needs no display.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "mesh/model.h"
#include "screen_projection.h"

namespace {

constexpr int width = 800, height = 600;

std::vector<std::string> examplePaths() {
    std::vector<std::string> paths;
    for (const auto& entry : std::filesystem::directory_iterator(EXAMPLES_DIR))
        if (entry.path().extension() == ".off") paths.push_back(entry.path().string());
    std::sort(paths.begin(), paths.end());
    return paths;
}

struct Box {
    double left = 1e300, right = -1e300, bottom = 1e300, top = -1e300;
    double nearest = 1e300;  // smallest distance in front of the eye
};

void addProjection(Box& box, const Vertex& p, double angleDegrees) {
    const ScreenPoint s = projectToScreen(p, angleDegrees, width, height);
    box.left = std::min(box.left, s.x), box.right = std::max(box.right, s.x);
    box.bottom = std::min(box.bottom, s.y), box.top = std::max(box.top, s.y);
    box.nearest = std::min(box.nearest, s.depth);
}

TEST(Examples, ThereAreSeveral) { EXPECT_GE(examplePaths().size(), 3u); }

TEST(Examples, EachIsWholeInTheWindowAtEveryAngleAndNotTiny) {
    constexpr double margin = 10;  // pixels kept clear at every edge
    for (const std::string& path : examplePaths()) {
        SCOPED_TRACE(path);
        const Model model(path.c_str());
        ASSERT_GT(model.vertexCount, 0);
        Box all;
        for (int step = 0; step < 720; ++step) {
            Box frame;
            for (std::int32_t i = 0; i < model.vertexCount; ++i) addProjection(frame, model.vertices[i], step / 2.0);
            // Big enough to see at this angle: at least a fifth of the width or height.
            EXPECT_TRUE(frame.right - frame.left >= width / 5.0 || frame.top - frame.bottom >= height / 5.0)
                << "only " << frame.right - frame.left << " x " << frame.top - frame.bottom << " pixels at "
                << step / 2.0 << " degrees";
            all.left = std::min(all.left, frame.left), all.right = std::max(all.right, frame.right);
            all.bottom = std::min(all.bottom, frame.bottom), all.top = std::max(all.top, frame.top);
            all.nearest = std::min(all.nearest, frame.nearest);
        }
        EXPECT_GT(all.nearest, 1.0) << "comes up to the eye";
        EXPECT_GE(all.left, margin);
        EXPECT_LE(all.right, width - margin);
        EXPECT_GE(all.bottom, margin);
        EXPECT_LE(all.top, height - margin);
    }
}

}  // namespace
