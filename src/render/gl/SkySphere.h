#pragma once

#include "foundation/Vector3f.h"

#include <functional>
#include <memory>
#include <string>

class GLDisplayList;
class GLTexture;

// The "Sky" background: a sphere of radius 1000 around the camera, seen from inside, with a
// picture on it. The texture and the sphere's display list are made on the first draw and
// kept: the image is large, and reading it again on every frame would cost far more than the
// frame. A missing or unreadable picture is tried once, and then the sphere is drawn
// untextured. Owns its GL names, so it must be destroyed while the context is current.
class SkySphere {
public:
    // The picture's file name, looked up by whoever supplies the path.
    static constexpr const char* kImageFile = "sky2048_0247.jpg";

    // imagePath gives the picture's path when the first draw needs it.
    explicit SkySphere(std::function<std::string()> imagePath);
    ~SkySphere();
    SkySphere(const SkySphere&) = delete;
    SkySphere& operator=(const SkySphere&) = delete;

    // Draws the sphere centred under the eye (x and z of eye, y 0), poles on the y axis, the
    // picture replacing the colour, with lighting off and front faces culled; leaves face
    // culling enabled with GL_FRONT.
    void draw(const Vector3f& eye);

private:
    std::function<std::string()> m_imagePath;
    std::unique_ptr<GLTexture> m_texture;
    std::unique_ptr<GLDisplayList> m_sphere;
};
