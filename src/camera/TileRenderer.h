#pragma once

#include "camera/Frustum.h"

// Renders an image larger than the window in tiles: it takes the camera's whole view volume
// and loads, for each tile, the projection of that tile's part (Frustum::tile). The image
// export implements it; cameras only hand it their volume.
class TileRenderer {
public:
    virtual ~TileRenderer() = default;

    // The whole image's view volume is a perspective frustum.
    virtual void setPerspective(const Frustum& frustum) = 0;
    // The whole image's view volume is an orthographic box.
    virtual void setOrthographic(const Frustum& frustum) = 0;
};
