#pragma once

#include "render/MatrixScreenSpaceConverter.h"

// Screen-space conversion for the GL state of the moment it is made: captures the modelview
// and projection matrices and the viewport from GL, then converts with the plain matrix
// arithmetic (what gluProject / gluUnProject compute). Later GL changes are not followed.
// Owns its copy of the state; needs a current context only when made.
class OpenGLScreenSpaceConverter : public ScreenSpaceConverter {
public:
    OpenGLScreenSpaceConverter();

    Vector3d project(const Vector3d& object) const override { return m_converter.project(object); }
    Vector3d unproject(const Vector3d& window) const override { return m_converter.unproject(window); }
    NdcRectangle boxRectangle(const BoundingBox& box) const override { return m_converter.boxRectangle(box); }
    double apparentHeight(const BoundingBox& box) const override { return m_converter.apparentHeight(box); }

private:
    MatrixScreenSpaceConverter m_converter;
};
