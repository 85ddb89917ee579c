#include "camera/Camera.h"

#include <cmath>

Camera::Camera() = default;

Camera::~Camera() = default;

void Camera::beginDrag(DragMode mode, float x, float y)
{
    m_dragMode = mode;
    m_lastX = x;
    m_lastY = y;
}

void Camera::endDrag(float, float)
{
    m_dragMode = DragMode::None;
}

void Camera::setNearFar(double zNear, double zFar)
{
    m_near = zNear;
    m_far = zFar;
}

double Camera::effectiveAspect() const
{
    if (std::isfinite(m_aspect) && m_aspect > 0.0) return m_aspect;
    if (std::isfinite(m_viewportAspect) && m_viewportAspect > 0.0) return m_viewportAspect;
    return 1.0;
}

void Camera::dragDelta(float x, float y, float& dx, float& dy)
{
    dx = x - m_lastX;
    dy = y - m_lastY;
    m_lastX = x;
    m_lastY = y;
}
