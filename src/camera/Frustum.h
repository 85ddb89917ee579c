#pragma once

#include "foundation/Matrix4f.h"

// The view volume a camera projects: the left, right, bottom and top bounds at the near plane
// (for a perspective frustum) or of the box (orthographic), and the near and far distances.
// A value, so that projections are computed without GL and tiled export can cut it into the
// sub-volumes of its tiles.
struct Frustum {
    double left = -1.0;
    double right = 1.0;
    double bottom = -1.0;
    double top = 1.0;
    double zNear = 1.0;
    double zFar = 2.0;

    // The matrix glFrustum would multiply by (row-major, column vectors).
    Matrix4f perspectiveMatrix() const;
    // The matrix glOrtho would multiply by.
    Matrix4f orthographicMatrix() const;
    // The part of this volume that the tile (x, y, width, height), in pixels from the bottom
    // left of an image of imageWidth x imageHeight, shows: the same near and far planes, the
    // bounds cut in proportion. Valid for both kinds of projection; the image size must be
    // positive.
    Frustum tile(int imageWidth, int imageHeight, int x, int y, int width, int height) const;
};
