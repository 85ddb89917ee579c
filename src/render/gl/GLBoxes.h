#pragma once

class Herd;
class ViewFrustumTest;

// The Boxes geometry mode: each visible instance of a herd drawn as its bounding box, six lit
// quads in the coloured mean of the skin's vertex colours, instead of its mesh. Holds no data.
// Needs a current context.
class GLBoxes {
public:
    GLBoxes() = delete;

    // Front faces filled, lighting on, front material diffuse = the mean vertex colour (ambient,
    // specular, emission and shininess 0), then one GL_QUADS run over every instance whose box
    // the frustum test keeps. Boxes are in the instances' box space; no transform is applied.
    static void draw(const Herd& herd, const ViewFrustumTest& frustum);
};
