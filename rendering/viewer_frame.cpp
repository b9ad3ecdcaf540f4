#include "rendering/viewer_frame.h"

#include <algorithm>
#include <cstddef>

#include "viewer/viewer.h"

// The viewer's window is stored top row first, a framebuffer object bottom
// row first. Drawing the same triangles into both gives the same picture
// except on a few edge pixels: where an edge passes exactly through a pixel
// centre, the rasterizer's rule for who owns that pixel is applied in
// storage order, so it falls the other way. Turning the projection upside
// down makes the framebuffer's storage order the window's, the picture then
// arrives top row first, and it is the window's byte for byte. Nothing else
// changes: the viewer culls no faces and lights both sides alike, so that
// its triangles turning the other way round on screen shows nowhere.
void setUpCamera(int width, int height) {
    reshape(width, height);
    GLfloat projection[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glScalef(1.0f, -1.0f, 1.0f);
    glMultMatrixf(projection);
    glMatrixMode(GL_MODELVIEW);
}

// The frame is moved in memory rather than drawn lower through the
// viewport: an offset viewport shifts the rasterizer's arithmetic enough to
// change a pixel here and there, and the frame would no longer be the
// window's. The rows it leaves behind are the cleared background, as the
// ones it moves over are.
Picture drawFrame(const Offscreen& offscreen, int top) {
    Picture picture;
    picture.width = offscreen.width;
    picture.height = offscreen.height;
    const std::size_t rowBytes = static_cast<std::size_t>(offscreen.width) * 3;
    picture.rgb.resize(rowBytes * static_cast<std::size_t>(offscreen.height));
    display();
    readOffscreen(offscreen, picture.rgb.data());
    std::rotate(picture.rgb.begin(), picture.rgb.end() - static_cast<std::ptrdiff_t>(rowBytes * top),
                picture.rgb.end());
    return picture;
}
