// The real GLUT window under Mesa's software OpenGL: frames drawn by display
// are read back and compared with values worked out here, independently of
// the viewer's code. Needs an X display (make test starts Xvfb).
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "mesh/model.h"
#include "screen_projection.h"
#include "temp_file.h"
#include "viewer/viewer.h"
#include "window_fixture.h"

namespace {

constexpr int windowWidth = 800, windowHeight = 600;
constexpr double pi = 3.14159265358979323846;

using Rgb = std::array<int, 3>;

Rgb readPixel(int x, int y) {
    unsigned char p[3] = {};
    glReadBuffer(GL_FRONT);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2]};
}

::testing::AssertionResult probeGrey(int x, int y, double expected, int tolerance) {
    const Rgb observed = readPixel(x, y);
    for (int c : observed)
        if (std::abs(c - expected) > tolerance)
            return ::testing::AssertionFailure()
                   << "Probe color at (" << x << "," << y << ")\n  Expected: " << expected << " " << expected << " "
                   << expected << " (+-" << tolerance << ")\n  Observed: " << observed[0] << " " << observed[1] << " "
                   << observed[2];
    return ::testing::AssertionSuccess();
}

// A small triangle in the mesh's x-z plane whose centroid is `c`.
std::string triangleAround(const Vertex& c) {
    char text[256];
    std::snprintf(text, sizeof text, "OFF 3 1 0  %g %g %g  %g %g %g  %g %g %g  3 0 1 2\n", c.x - 0.3, c.y, c.z - 0.2,
                  c.x + 0.3, c.y, c.z - 0.2, c.x, c.y, c.z + 0.4);
    return text;
}

// The mesh written out, then loaded as the program loads it.
void loadMeshText(const std::string& meshText) { loadThroughPrompt(writeTempFile("render-mesh.off", meshText)); }

// OpenGL's default material and light 0, lit from direction (1, 1, 1) in eye
// space: emission 0 + global ambient 0.2 x ambient 0.2 + light ambient 0
// + diffuse 1 x 0.8 x max(0, n . l); no specular (the material's is 0).
double litGrey(const double eyeNormal[3]) {
    const double l = 1.0 / std::sqrt(3.0);
    const double diffuse = std::fmax(0.0, (eyeNormal[0] + eyeNormal[1] + eyeNormal[2]) * l);
    return (0.2 * 0.2 + 0.8 * diffuse) * 255.0;
}

class Window : public ::testing::Test {
protected:
    static void SetUpTestSuite() { openViewerWindow(startAsTheViewerDoes, recordFirstFrame); }
    // What tarvexgl's main does between opening its window and its event
    // loop: the mesh loaded, the turntable's first tick by hand.
    static void startAsTheViewerDoes() {
        loadMeshText(triangleAround(firstTriangle));
        spinTimer(0);
    }
    // The viewer's display, and what its first frame shows where the
    // triangle lands at 0 and at 10 degrees.
    static void recordFirstFrame() {
        display();
        glFinish();
        firstFrameAngle = spinAngle;
        for (int i = 0; i < 2; ++i) {
            const ScreenPoint s = projectToScreen(firstTriangle, 10.0 * i, windowWidth, windowHeight);
            firstFrameAt[i][0] = static_cast<int>(s.x);
            firstFrameAt[i][1] = static_cast<int>(s.y);
            firstFrame[i] = readPixel(firstFrameAt[i][0], firstFrameAt[i][1]);
        }
    }
    void SetUp() override {
        if (!viewerWindowOpen()) GTEST_SKIP() << "no X display; run under xvfb-run";
    }
    // A small triangle facing the camera at 0 degrees (normal -y).
    static constexpr Vertex firstTriangle = {0, -8, 3};
    static inline double firstFrameAngle = 0;
    static inline int firstFrameAt[2][2] = {};  // where the triangle lands at 0 and at 10 degrees
    static inline Rgb firstFrame[2] = {};       // and what the first frame shows there
};

TEST_F(Window, FirstFrameShowsTheMeshAtTenDegrees) {
    EXPECT_EQ(firstFrameAngle, 10.0);
    // Turned by 10 degrees, the normal -y becomes (sin 10, -cos 10, 0) in the
    // mesh, stood up into eye space as (sin 10, 0, cos 10).
    const double tenDegrees = 10.0 * pi / 180.0;
    const double eyeNormal[3] = {std::sin(tenDegrees), 0.0, std::cos(tenDegrees)};
    const double expected = litGrey(eyeNormal);
    // At 0 degrees the triangle would be on the centre line; at 10 it is
    // about 13 pixels to the right, and the centre line shows the background.
    EXPECT_GT(firstFrameAt[1][0] - firstFrameAt[0][0], 10);
    for (int c : firstFrame[1]) EXPECT_NEAR(c, expected, 2) << "the lit triangle at 10 degrees";
    EXPECT_EQ(firstFrame[0], (Rgb{clearGrey, clearGrey, clearGrey})) << "where it would be at 0 degrees";
}

TEST_F(Window, EmptyMeshShowsOnlyTheClearColour) {
    loadMeshText("OFF 0 0 0\n");
    drawAt(10);
    int off = 0;
    for (unsigned char c : readWindow()) off += std::abs(c - clearGrey) > 1;
    EXPECT_EQ(off, 0) << "channels away from the clear colour";
    EXPECT_TRUE(probeGrey(0, 0, clearGrey, 1));
    EXPECT_TRUE(probeGrey(windowWidth - 1, windowHeight - 1, clearGrey, 1));
}

TEST_F(Window, KnownVertexLandsWhereTheMatricesPutIt) {
    // Off-centre in every axis, so a mirrored or swapped axis lands elsewhere.
    const struct {
        Vertex centre;
        double angle;
        int width, height;
    } cases[] = {
        {{4, 0, 3}, 0, windowWidth, windowHeight},
        {{0, -8, 3}, 10, windowWidth, windowHeight},
        {{-6, 2, -5}, 135, windowWidth, windowHeight},
        {{5, 5, 8}, 250, windowWidth, windowHeight},
        {{4, 0, 3}, 0, 300, 400},  // aspect 0.75: the field of view stays 100 degrees vertically
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "centre (" << c.centre.x << "," << c.centre.y << "," << c.centre.z
                                          << ") at " << c.angle << " degrees in " << c.width << "x" << c.height);
        loadMeshText(triangleAround(c.centre));
        drawAt(c.angle, c.width, c.height);
        const ScreenPoint s = projectToScreen(c.centre, c.angle, c.width, c.height);
        const int x = static_cast<int>(s.x), y = static_cast<int>(s.y);
        EXPECT_NE(readPixel(x, y), (Rgb{clearGrey, clearGrey, clearGrey})) << "at (" << x << "," << y << ")";
        for (const auto& [dx, dy] : {std::pair{8, 0}, {-8, 0}, {0, 8}, {0, -8}})
            EXPECT_TRUE(probeGrey(x + dx, y + dy, clearGrey, 1));
    }
}

TEST_F(Window, FlatFacesAreLitByTheirNormalAndTheFixedLight) {
    // At 0 degrees the mesh's -y side faces the camera. Anticlockwise seen
    // from there, the normal is the mesh's -y, (0, 0, 1) in eye space; the
    // reversed triangle faces away from the light and gets ambient only.
    const Vertex centroid = {0, 0, -1};
    const struct {
        const char* name;
        const char* mesh;
        double eyeNormal[3];
    } cases[] = {
        {"towards the camera", "OFF 3 1 0 -6 0 -5 6 0 -5 0 0 7 3 0 1 2", {0, 0, 1}},
        {"away from the light", "OFF 3 1 0 -6 0 -5 6 0 -5 0 0 7 3 0 2 1", {0, 0, -1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        loadMeshText(c.mesh);
        drawAt(0);
        const ScreenPoint s = projectToScreen(centroid, 0, windowWidth, windowHeight);
        EXPECT_TRUE(probeGrey(static_cast<int>(s.x), static_cast<int>(s.y), litGrey(c.eyeNormal), 2));
    }
}

// A ball of radius 8 at the mesh origin, open at the poles, faces
// anticlockwise seen from outside.
std::string ball() {
    const int rows = 24, columns = 48;
    std::string text =
        "OFF " + std::to_string((rows + 1) * columns) + " " + std::to_string(2 * rows * columns) + " 0\n";
    for (int i = 0; i <= rows; ++i)
        for (int j = 0; j < columns; ++j) {
            const double phi = pi * (0.1 + 0.8 * i / rows), theta = 2 * pi * j / columns;
            char line[96];
            std::snprintf(line, sizeof line, "%.9f %.9f %.9f\n", 8 * std::sin(phi) * std::cos(theta),
                          8 * std::sin(phi) * std::sin(theta), 8 * std::cos(phi));
            text += line;
        }
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < columns; ++j) {
            const int a = i * columns + j, b = i * columns + (j + 1) % columns, c = b + columns, d = a + columns;
            text += "3 " + std::to_string(a) + " " + std::to_string(d) + " " + std::to_string(c) + "\n";
            text += "3 " + std::to_string(a) + " " + std::to_string(c) + " " + std::to_string(b) + "\n";
        }
    return text;
}

TEST_F(Window, LitSideStaysWithTheCameraAsTheMeshTurns) {
    loadMeshText(ball());
    const ScreenPoint centre = projectToScreen({0, 0, 0}, 0, windowWidth, windowHeight);
    const int x = static_cast<int>(centre.x), y = static_cast<int>(centre.y);
    for (double angle : {0.0, 90.0, 180.0, 270.0}) {
        SCOPED_TRACE(::testing::Message() << angle << " degrees");
        drawAt(angle);
        // Upper right faces the light; lower left faces away from it.
        const Rgb lit = readPixel(x + 25, y + 25), unlit = readPixel(x - 25, y - 25);
        EXPECT_GT(lit[0], 150) << "upper right";
        EXPECT_LT(unlit[0], 40) << "lower left";
    }
}

// A minimised window: 0 x 0. (With a width, 800 / 0 is infinite and the
// projection stays finite even without a guard; 0 / 0 is not.)
TEST_F(Window, ZeroHeightDoesNotDivideByZero) {
    reshape(0, 0);
    double projection[16];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    for (double v : projection) EXPECT_TRUE(std::isfinite(v));
    reshape(windowWidth, windowHeight);
}

TEST_F(Window, TurntableTurnsTenDegreesAndWrapsByDividing) {
    spinAngle = 0;
    for (int tick = 1; tick <= 36; ++tick) {
        spinTimer(0);
        ASSERT_EQ(spinAngle, 10.0 * tick);
    }
    spinTimer(0);
    EXPECT_DOUBLE_EQ(spinAngle, 1.0277777777777777);  // 370 / 360
    spinTimer(0);
    EXPECT_DOUBLE_EQ(spinAngle, 11.027777777777779);
    for (int tick = 0; tick < 35; ++tick) spinTimer(0);
    EXPECT_DOUBLE_EQ(spinAngle, 361.02777777777777 / 360.0);  // 1.00285...
}

}  // namespace
