#pragma once

#include "foundation/BoundingBox.h"
#include "foundation/Vector3d.h"

// The rectangle a set of points covers in normalized device coordinates (after the divide by
// w): the whole window spans -1 to 1 on both axes.
struct NdcRectangle {
    double minX = 0.0;
    double minY = 0.0;
    double maxX = 0.0;
    double maxY = 0.0;

    double width() const { return maxX - minX; }
    double height() const { return maxY - minY; }
    // width x height; the whole window has area 4.
    double area() const { return width() * height(); }
};

// Converts between object space and window space for one fixed set of view matrices and
// viewport, captured when the converter is made (GL state later on is not followed). Labels,
// culling helpers and the level-of-detail choice of hierarchical herds use it. Implementations
// own copies of their matrices; the interface holds no data.
class ScreenSpaceConverter {
public:
    virtual ~ScreenSpaceConverter();

    // Window coordinates of an object-space point: x and y in pixels, z the depth in 0..1
    // (what gluProject gives). NaN components when the point projects to w = 0.
    virtual Vector3d project(const Vector3d& object) const = 0;
    // The object-space point at window coordinates (gluUnProject); NaN components when the
    // matrices are singular or the point maps to w = 0.
    virtual Vector3d unproject(const Vector3d& window) const = 0;
    // The rectangle enclosing the box's eight corners after projection and the divide by w,
    // in normalized device coordinates; a zero rectangle for an empty box. The level of detail
    // asks this for every instance of every frame, hence one call per box.
    virtual NdcRectangle boxRectangle(const BoundingBox& box) const = 0;
    // How tall the box's contents look: the height in normalized device coordinates of an
    // upright segment as tall as the box, standing at the box's centre and facing the eye.
    // Unlike the rectangle's height it leaves out what the box's depth adds when seen from
    // above (up to twice the height for a long animal), and it costs one corner's projection.
    // NaN for an empty box or a centre that is not in front of the eye.
    virtual double apparentHeight(const BoundingBox& box) const = 0;
};
