#include "camera/Frustum.h"

Matrix4f Frustum::perspectiveMatrix() const
{
    Matrix4f m;
    m(0, 0) = static_cast<float>(2.0 * zNear / (right - left));
    m(0, 2) = static_cast<float>((right + left) / (right - left));
    m(1, 1) = static_cast<float>(2.0 * zNear / (top - bottom));
    m(1, 2) = static_cast<float>((top + bottom) / (top - bottom));
    m(2, 2) = static_cast<float>(-(zFar + zNear) / (zFar - zNear));
    m(2, 3) = static_cast<float>(-2.0 * zFar * zNear / (zFar - zNear));
    m(3, 2) = -1.0f;
    return m;
}

Matrix4f Frustum::orthographicMatrix() const
{
    Matrix4f m;
    m(0, 0) = static_cast<float>(2.0 / (right - left));
    m(0, 3) = static_cast<float>(-(right + left) / (right - left));
    m(1, 1) = static_cast<float>(2.0 / (top - bottom));
    m(1, 3) = static_cast<float>(-(top + bottom) / (top - bottom));
    m(2, 2) = static_cast<float>(-2.0 / (zFar - zNear));
    m(2, 3) = static_cast<float>(-(zFar + zNear) / (zFar - zNear));
    m(3, 3) = 1.0f;
    return m;
}

Frustum Frustum::tile(int imageWidth, int imageHeight, int x, int y, int width, int height) const
{
    Frustum result = *this;
    const double w = right - left, h = top - bottom;
    result.left = left + w * x / imageWidth;
    result.right = left + w * (x + width) / imageWidth;
    result.bottom = bottom + h * y / imageHeight;
    result.top = bottom + h * (y + height) / imageHeight;
    return result;
}
