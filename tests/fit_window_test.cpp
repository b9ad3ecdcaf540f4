// Fitted meshes in the real viewer window under Mesa's software OpenGL: the
// viewer's own start-up (initScene reading the file name from standard
// input), reshape, display at the turntable's angles, and every frame read
// back. Over a whole turn, and at the angles the divide-by-360 wrap brings,
// the lit mesh keeps off the window's edges and at its widest spans at least
// 40 % of the window; where it lands agrees with the hand-worked projection.
// Needs an X display (make test starts Xvfb).
#include <GL/freeglut.h>
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "fit/fit_mesh.h"
#include "fit/off_writer.h"
#include "screen_projection.h"
#include "temp_file.h"
#include "viewer/viewer.h"

namespace {

constexpr int width = 800, height = 600;
constexpr int margin = 8;       // pixels every mesh keeps from every edge
constexpr int background = 26;  // glClearColor(0.1, ...) in an 8-bit channel: 25.5

std::vector<double> turntableAngles() {
    std::vector<double> angles;
    for (int a = 10; a <= 360; a += 10) angles.push_back(a);
    // After the wraps: 370 / 360 + 10 k, and 361.02... / 360 + 10 k.
    for (double start : {370.0 / 360.0, 361.0277777777778 / 360.0})
        for (int step = 0; step < 36; step += 5) angles.push_back(start + 10.0 * step);
    return angles;
}

struct Frame {
    int left = width, right = -1, bottom = height, top = -1;  // inclusive pixel bounds of the mesh
    long lit = 0;                                             // pixels that are not the background
    double widthShare() const { return right < left ? 0 : (right - left + 1.0) / width; }
    double heightShare() const { return top < bottom ? 0 : (top - bottom + 1.0) / height; }
    double span() const { return std::max(widthShare(), heightShare()); }
};

Frame drawAndRead(double angle) {
    reshape(width, height);
    spinAngle = angle;
    display();
    glFinish();
    std::vector<unsigned char> pixels(std::size_t{width} * height * 3);
    glReadBuffer(GL_FRONT);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    Frame f;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const unsigned char* p = &pixels[(std::size_t{static_cast<unsigned>(y)} * width + x) * 3];
            if (std::abs(p[0] - background) <= 1 && std::abs(p[1] - background) <= 1 &&
                std::abs(p[2] - background) <= 1)
                continue;
            ++f.lit;
            f.left = std::min(f.left, x), f.right = std::max(f.right, x);
            f.bottom = std::min(f.bottom, y), f.top = std::max(f.top, y);
        }
    return f;
}

// Fits `path` as tarvexgl-fit does and has the viewer load the result
// through its prompt.
bool fitAndLoad(const std::string& path, TriangleMesh& fitted, std::string& error) {
    if (!fitMeshFile(path, std::nullopt, fitted, error)) return false;
    const std::string mesh = writeTempFile("fit-window.off", offText(fitted));
    const std::string answer = writeTempFile("fit-window-answer.txt", mesh + "\n");
    if (!std::freopen(answer.c_str(), "r", stdin)) return false;
    initScene();
    std::fputs("\n", stdout);  // after the viewer's prompt
    return true;
}

struct Turn {
    Frame widest, narrowest;
    double widestAngle = 0, narrowestAngle = 0;
    long leastLit = -1, mostLit = 0;
};

// Draws a whole turn and checks every frame: inside the margins, and where
// the projection of the vertices says.
Turn checkTurn(const TriangleMesh& fitted) {
    Turn turn;
    for (double angle : turntableAngles()) {
        SCOPED_TRACE(::testing::Message() << angle << " degrees");
        const Frame f = drawAndRead(angle);
        EXPECT_GT(f.lit, 0);
        EXPECT_GE(f.left, margin);
        EXPECT_LT(f.right, width - margin);
        EXPECT_GE(f.bottom, margin);
        EXPECT_LT(f.top, height - margin);
        // The vertices' projected box, worked out by hand, holds the picture
        // to within the pixels a rasteriser may touch at an edge.
        double left = 1e9, right = -1e9, bottom = 1e9, top = -1e9;
        for (const Vertex& v : fitted.vertices) {
            const ScreenPoint s = projectToScreen(v, angle);
            left = std::min(left, s.x), right = std::max(right, s.x);
            bottom = std::min(bottom, s.y), top = std::max(top, s.y);
        }
        EXPECT_GE(f.left, left - 2);
        EXPECT_LE(f.right, right + 2);
        EXPECT_GE(f.bottom, bottom - 2);
        EXPECT_LE(f.top, top + 2);
        if (f.span() > turn.widest.span()) turn.widest = f, turn.widestAngle = angle;
        if (turn.leastLit < 0 || f.span() < turn.narrowest.span()) turn.narrowest = f, turn.narrowestAngle = angle;
        turn.leastLit = turn.leastLit < 0 ? f.lit : std::min(turn.leastLit, f.lit);
        turn.mostLit = std::max(turn.mostLit, f.lit);
    }
    return turn;
}

void report(const std::string& name, const Turn& t) {
    std::printf(
        "%-28s widest %5.1f%% x %5.1f%% (at %7.3f deg)  narrowest %5.1f%% x %5.1f%% (at %7.3f deg)  lit "
        "%5.2f%%..%5.2f%%\n",
        name.c_str(), 100 * t.widest.widthShare(), 100 * t.widest.heightShare(), t.widestAngle,
        100 * t.narrowest.widthShare(), 100 * t.narrowest.heightShare(), t.narrowestAngle,
        100.0 * t.leastLit / (width * height), 100.0 * t.mostLit / (width * height));
}

class FitWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!std::getenv("DISPLAY")) return;
        static int argc = 1;
        static char name[] = "fit_window_test";
        static char* argv[] = {name, nullptr};
        glutInit(&argc, argv);
        glutInitDisplayMode(GLUT_RGB | GLUT_SINGLE | GLUT_DEPTH);
        glutInitWindowSize(width, height);
        glutInitWindowPosition(10, 10);
        glutCreateWindow("fit_window_test");
        glutReshapeFunc(reshape);
        glutDisplayFunc([] {});  // frames are drawn by hand, between events
        for (int i = 0; i < 20; ++i) glutMainLoopEvent();
    }
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display; run under xvfb-run";
    }
};

TEST_F(FitWindow, MeshesOfEverySizeAndPlaceStayFramedOverAWholeTurn) {
    // A flat triangle, a mesh far off the origin, polygons, a cone, a binary
    // file, a glued keyword, COFF, and a column 0.02 wide and 3 tall at
    // z = 10000, written here.
    std::vector<std::string> files;
    for (const char* name : {"cgal-triangle.off", "cgal-negative.off", "cgal-mpi.off", "geomview-cone.off",
                             "pmp-beetle.off", "trimesh-whitespace.off", "cgal-cactus.off"})
        files.push_back(std::string(TEST_DATA_DIR) + "/" + name);
    files.push_back(writeTempFile("fit-column.off",
                                  "OFF 8 6 0\n5000 5000 10000\n5000.02 5000 10000\n5000 5000.01 10000\n"
                                  "5000.02 5000.01 10000\n5000 5000 10003\n5000.02 5000 10003\n5000 5000.01 10003\n"
                                  "5000.02 5000.01 10003\n4 0 2 3 1\n4 4 5 7 6\n4 0 1 5 4\n4 2 6 7 3\n4 0 4 6 2\n"
                                  "4 1 3 7 5\n"));
    for (const std::string& path : files) {
        SCOPED_TRACE(path);
        TriangleMesh fitted;
        std::string error;
        ASSERT_TRUE(fitAndLoad(path, fitted, error)) << error;
        const Turn turn = checkTurn(fitted);
        EXPECT_GE(turn.widest.span(), 0.4);
        report(std::filesystem::path(path).filename(), turn);
    }
}

// Every mesh of the shared corpus, when it is there (a clone of the project
// alone has only tests/data): those with faces fit and stay framed; the cut
// file, the one whose count is beyond 32 bits and the point set are refused.
TEST_F(FitWindow, EverySharedCorpusMeshWithFacesIsFramed) {
    const std::filesystem::path corpus = SHARED_CORPUS_DIR;
    if (!std::filesystem::is_directory(corpus)) GTEST_SKIP() << "no shared corpus beside the project";
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(corpus))
        if (entry.path().extension() == ".off") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    const std::vector<std::string> refused = {"assimp-OutOfMemory.off", "cgal-kitten.off", "compascgal-output.off"};
    for (const auto& path : files) {
        SCOPED_TRACE(path.string());
        const bool shouldRefuse = std::count(refused.begin(), refused.end(), path.filename().string()) > 0;
        TriangleMesh fitted;
        std::string error;
        const bool fits = fitAndLoad(path.string(), fitted, error);
        EXPECT_EQ(fits, !shouldRefuse) << error;
        if (!fits) {
            std::printf("%-28s refused: %s\n", path.filename().c_str(), error.substr(path.string().size()).c_str());
            continue;
        }
        const Turn turn = checkTurn(fitted);
        EXPECT_GE(turn.widest.span(), 0.4);
        report(path.filename(), turn);
    }
}

}  // namespace
