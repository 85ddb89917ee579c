#pragma once

#include "foundation/Matrix4f.h"
#include "herd/ScreenSpaceConverter.h"

#include <array>

// The window area the projection maps into, in pixels (what glViewport sets).
struct Viewport {
    int x = 0;
    int y = 0;
    int width = 1;
    int height = 1;
};

// Screen-space conversion from plain matrices: the row-major modelview and projection
// matrices (column vectors, as the cameras produce them) and a viewport, given as values.
// The arithmetic is gluProject / gluUnProject in double precision, so results match what GL
// would give for the same state; the GL layer builds one of these from the current GL state.
// Owns copies of everything it was given.
class MatrixScreenSpaceConverter : public ScreenSpaceConverter {
public:
    MatrixScreenSpaceConverter(const Matrix4f& modelview, const Matrix4f& projection, const Viewport& viewport);

    Vector3d project(const Vector3d& object) const override;
    Vector3d unproject(const Vector3d& window) const override;
    NdcRectangle boxRectangle(const BoundingBox& box) const override;
    double apparentHeight(const BoundingBox& box) const override;

private:
    using Matrix4d = std::array<double, 16>;

    // projection x modelview, and its inverse (valid only when m_invertible).
    Matrix4d m_combined{};
    Matrix4d m_inverse{};
    bool m_invertible = false;
    // Clip-space y per scene unit across the line of sight: the length of the combined
    // matrix's y row (the projection's vertical scale under a rigid modelview).
    double m_verticalScale = 0.0;
    Viewport m_viewport;
};
