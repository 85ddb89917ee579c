#pragma once

#include "foundation/BoundingBox.h"

// The root of everything that can be asked whether a box touches something it holds: single
// herds and the herd collection. Placing herds ask this of the whole scene before they put an
// animal down, so they need not know which kinds of herds share the scene.
class BoundsCheckable {
public:
    virtual ~BoundsCheckable() = default;

    // True when the box touches something held here (within the collision tolerance the
    // holder applies).
    virtual bool intersects(const BoundingBox& box) const = 0;
};
