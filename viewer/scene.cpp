#include <GL/gl.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "mesh/model.h"
#include "viewer/viewer.h"

namespace {

// One whitespace-delimited word, however long; leading white space, empty
// lines included, is skipped. Nothing when the input ends first.
std::optional<std::string> readWord(std::FILE* in) {
    int c = std::fgetc(in);
    while (c != EOF && std::isspace(c)) c = std::fgetc(in);
    if (c == EOF) return std::nullopt;
    std::string word;
    while (c != EOF && !std::isspace(c)) {
        word += static_cast<char>(c);
        c = std::fgetc(in);
    }
    return word;
}

}  // namespace

void initSceneState() {
    // Set while the modelview matrix is still the identity, so the light's
    // direction is fixed in eye space: it stays with the camera and the mesh
    // turns under it.
    const GLfloat lightPosition[] = {1.0f, 1.0f, 1.0f, 0.0f};  // w = 0: directional, from (1, 1, 1)
    glLightfv(GL_LIGHT0, GL_POSITION, lightPosition);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glDepthFunc(GL_LESS);
    glEnable(GL_DEPTH_TEST);
    glShadeModel(GL_SMOOTH);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
}

void initScene() {
    initSceneState();
    std::fputs("Enter the file name :  ", stdout);
    std::fflush(stdout);  // the prompt must be on screen before the read waits
    const std::optional<std::string> path = readWord(stdin);
    if (!path) {
        std::fputs("tarvexgl: no file name given: standard input ended before a word was read\n", stderr);
        std::exit(-1);
    }
    theModel.emplace(path->c_str());
}
