#pragma once

#include "foundation/Vector3f.h"

// The "Sky" background: a sphere of radius 1000 around the camera, seen from inside, with
// the image "sky2048_0247.jpg" from the working directory on it. The texture and the sphere's
// display list are process-wide, made on the first draw and kept: the image is large and
// reading it again on every paint would cost far more than the frame. A missing or unreadable
// image is tried once and then the sphere is drawn untextured. Needs a current context.
class SkySphere {
public:
    static constexpr const char* kImageFile = "sky2048_0247.jpg";

    SkySphere() = delete;

    // Draws the sphere centred under the eye (x and z of eye, y 0), poles on the y axis, with
    // lighting off and front faces culled; leaves face culling enabled with GL_FRONT.
    static void draw(const Vector3f& eye);
};
